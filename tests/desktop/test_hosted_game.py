"""Two programs on one desktop: Ann hosts, Bob joins from a second window,
and each window tells its reader the seats, whose turn it is and the totals."""

import pyatspi
import pytest

from board import Board, card_total
from desktop import Game, active, find, find_all, key, press, showing, wait_for, write_settings


@pytest.fixture
def table(tmp_path):
    ann_home, bob_home = tmp_path / "ann", tmp_path / "bob"
    ann_home.mkdir()
    bob_home.mkdir()
    write_settings(ann_home, Doublecheck="false")
    write_settings(bob_home, Doublecheck="false")
    ann = Game(str(ann_home), ["Ann", "127.0.0.1", "true"])
    games = [ann]
    try:
        # The host listens once its window is up; Bob joins on the same port.
        ann.main_window()
        bob = Game(str(bob_home), ["Bob", "127.0.0.1", "false"], port=ann.port)
        games.append(bob)
        yield ann, bob
    finally:
        for game in reversed(games):
            game.stop()


def seat_names(board):
    """What the seats' name labels say, of the two players."""
    heard = {"Ann, you", "Ann", "Bob, you", "Bob"}
    return sorted(label.name for label in find_all(board.card, role=pyatspi.ROLE_LABEL)
                  if label.name in heard)


def test_second_window_joins_a_hosted_game(table):
    ann_game, bob_game = table
    ann = Board(ann_game.main_window())
    bob = Board(bob_game.main_window())
    wait_for(lambda: seat_names(ann) == ["Ann, you", "Bob"], what="Ann's roster")
    wait_for(lambda: seat_names(bob) == ["Ann", "Bob, you"], what="Bob's roster")
    # Only the host starts; the joining window offers no Start Game.
    assert not [b for b in find_all(bob.board, "Start Game") if showing(b)]

    press(find(ann.window, "Start Game", pyatspi.ROLE_PUSH_BUTTON))
    options = ann_game.window("Dunvex - Start Game")
    wait_for(lambda: active(options), what="active start options")
    key("Return")

    cards = {"Ann": {}, "Bob": {}}
    for _ in range(2):
        bob.wait_turn("Ann's turn")
        category, scored = ann.play_own_turn("Ann", rolls=2)
        cards["Ann"][category] = scored
        ann.wait_turn("Bob's turn")
        category, scored = bob.play_own_turn("Bob", rolls=2)
        cards["Bob"][category] = scored
        # Both windows hear both scores and both totals alike.
        for window in (ann, bob):
            for seat, card in cards.items():
                def heard_card():
                    return {c: v for c, (v, _) in window.column(seat).items() if v is not None}

                wait_for(lambda: heard_card() == card, what=f"{seat}'s card {card}")

            def totals():
                read = window.totals()
                return {seat: read.get(seat) for seat in cards}

            want = {seat: card_total(card) for seat, card in cards.items()}
            wait_for(lambda: totals() == want, what=f"the totals {want}")
