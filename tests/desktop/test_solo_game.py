"""A whole solo game played as a screen-reader and switch user plays it: the
window, the dice, the roll button and the scorecard found by their names and
roles on the accessibility bus, moves made by accessible actions and by keys,
and every score checked against the dice the test read."""

import pyatspi
import pytest

from board import CATEGORIES, Board, card_total
from desktop import Game, active, find, find_all, focused, key, press, wait_for, write_settings


@pytest.fixture
def solo(tmp_path):
    # Fast computer players, and no question before a zero score.
    write_settings(tmp_path, Botspeed=500, Doublecheck="false")
    game = Game(str(tmp_path))
    yield game
    game.stop()


def start_from_the_options(game, main):
    """Start Game opens the start options; they have the keys, so Enter starts."""
    offer = game.window("Download The Kelvor Lobby")
    press(find(offer, "Play Solo Game", pyatspi.ROLE_PUSH_BUTTON))
    press(find(main, "Start Game", pyatspi.ROLE_PUSH_BUTTON))
    options = game.window("Dunvex - Start Game")
    wait_for(lambda: active(options), what="active start options")
    team = find(options, "Team Game", pyatspi.ROLE_CHECK_BOX)
    wait_for(lambda: focused(team), what="the first option to have the keys")
    key("Return")
    wait_for(lambda: not options.getState().contains(pyatspi.STATE_SHOWING),
             what="the start options to close on Enter")


def test_whole_solo_game_by_actions_and_keys(solo):
    main = solo.main_window()
    board = Board(main)
    start_from_the_options(solo, main)
    # The player's own seat and the computer's, as the reader names them.
    wait_for(lambda: {"You, you", "Klot"} <= {label.name for label in
                                             find_all(board.card, role=pyatspi.ROLE_LABEL)},
             what="the seats of You and Klot")

    expected = {}
    for turn in range(12):
        category, scored = board.play_own_turn("You", rolls=3 if turn == 0 else 2)
        expected[category] = scored
        total = card_total(expected)
        wait_for(lambda: board.totals().get("You") == total, what=f"the total {total}")
        # Seat 2 is the computer's: its turn is announced by its name.
        if turn < 11:
            board.wait_turn("Klot's turn", timeout=30)

    assert set(expected) == set(CATEGORIES)

    def computer_card():
        card = {category: value for category, (value, _) in board.column("Klot").items()}
        return card if None not in card.values() else None

    card = wait_for(computer_card, timeout=60, what="the computer's full card")
    want = {"You": card_total(expected), "Klot": card_total(card)}

    def totals():
        read = board.totals()
        return {seat: read.get(seat) for seat in want}

    wait_for(lambda: totals() == want, what=f"the totals {want}")
