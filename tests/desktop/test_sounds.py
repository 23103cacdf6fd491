"""What a player hears: the sound server's null sink is recorded while the own
turn starts and while a chatter sound is sent from the phrase row, and the
recording is compared with the game's own sound files."""

import pyatspi
import pytest

from audio import RATE, SILENCE, Recorder, best_match, envelope, onset, sound_file
from desktop import Game, active, chat_text, find, key, press, wait_for, write_settings


def open_solo_game(game):
    main = game.main_window()
    download = game.window("Download The Kelvor Lobby")
    press(find(download, "Play Solo Game", pyatspi.ROLE_PUSH_BUTTON))
    return main


def start_game_and_send_applause(game, main, recorder):
    """Starts the game (the own turn comes first), then sends a chatter sound;
    returns the two moments on the recording's clock."""
    press(find(main, "Start Game", pyatspi.ROLE_PUSH_BUTTON))
    options = game.window("Dunvex - Start Game")
    wait_for(lambda: active(options), what="active start options")
    # Every moment is taken in silence, so what follows it is the event's sound.
    wait_for(recorder.quiet, what="silence before the turn")
    started = recorder.position()
    key("Return")
    # The game has asked for the turn sound once its log says so.
    wait_for(lambda: "sound turn" in game.output(), what="the turn sound to be asked for")
    wait_for(lambda: recorder.position() > started + 1.0 and recorder.quiet(),
             what="the turn sound to play out")

    # The sound button opens its menu, which has the keys: "<Cancel>" comes
    # first, then the twenty sounds; the thirteenth is "Applause".
    press(find(main, "See ya!", pyatspi.ROLE_PUSH_BUTTON))
    for _ in range(14):
        key("Down")
    sent = recorder.position()
    key("Return")
    return started, sent


@pytest.mark.parametrize("sounds_on", [True, False], ids=["sounds-on", "sounds-off"])
def test_turn_and_chatter_sounds_are_heard_only_when_switched_on(tmp_path, sounds_on):
    switch = "true" if sounds_on else "false"
    write_settings(tmp_path, Playsounds=switch, ChatterSounds=switch)
    game = Game(str(tmp_path))
    recorder = None
    try:
        main = open_solo_game(game)
        # Nothing else sounds from here on: the connection's sound has played.
        wait_for(lambda: "You are Connected." in chat_text(main), what="the login")
        recorder = Recorder(str(tmp_path / "monitor.raw"))
        turn_at, chatter_at = start_game_and_send_applause(game, main, recorder)
        if not sounds_on:
            # The barrier: the host's echo has reached the window, which
            # announces the sound in the chat instead of playing it.
            wait_for(lambda: "<Chatter Sound> Applause" in chat_text(main),
                     what="the chatter notice")
        end = max(recorder.position(), chatter_at) + 1.5
        wait_for(lambda: recorder.position() > end, what="the chatter sound to play out")
        levels = envelope(recorder.stop(), RATE)
        recorder = None
    finally:
        if recorder:
            recorder.stop()
        game.stop()

    if not sounds_on:
        assert max(levels, default=0) <= SILENCE, "sounds switched off, yet something was heard"
        return
    heard = {"turn": turn_at, "wave13": chatter_at}
    references = {name: envelope(*sound_file(name)) for name in heard}
    for name, moment in heard.items():
        start = onset(levels, moment)
        assert start is not None and start - moment < 1.0, f"{name} not heard within a second"
        match = best_match(levels, references[name], start)
        (other,) = set(heard) - {name}
        mismatch = best_match(levels, references[other], start)
        print(f"{name}: {start - moment:.2f}s after, match {match:.3f}, {other} {mismatch:.3f}")
        assert match > 0.8, f"what was heard after {name} is not {name}.wav ({match:.2f})"
        assert mismatch < match, f"what was heard after {name} is more like {other}.wav"
