"""The board and the scorecard as a screen reader hears them, and the rules
of scoring written out here again, so the test's expectations never come
from the game's own sums."""

import re
from collections import Counter

import pyatspi

from desktop import STEP, find, find_all, focus, key, press, switch_to, wait_for

FACES = {"one": 1, "two": 2, "three": 3, "four": 4, "five": 5, "six": 6}
CATEGORIES = [
    "Ones", "Twos", "Threes", "Fours", "Fives", "Sixes", "4 of a Kind",
    "Full House", "Sm Straight", "Big Straight", "5 of a Kind", "Freebie",
]  # fmt: skip
DIE_NAME = re.compile(r"Die ([1-5]), (one|two|three|four|five|six|), (.+)")
CELL_NAME = re.compile(r"(.*), ([^,]+), (not scored|\d+)(?:, (\d+) if scored now)?")


def points(category, dice):
    """What the five dice score in a category (rows 1 to 12)."""
    counts = Counter(dice)
    faces = set(dice)
    most = max(counts.values())
    row = CATEGORIES.index(category) + 1
    if row <= 6:
        return counts[row] * row
    if category == "4 of a Kind":
        return sum(dice) if most >= 4 else 0
    if category == "Full House":
        return 25 if sorted(counts.values()) == [2, 3] or most == 5 else 0
    if category == "Sm Straight":
        runs = ({1, 2, 3, 4}, {2, 3, 4, 5}, {3, 4, 5, 6})
        return 30 if any(run <= faces for run in runs) else 0
    if category == "Big Straight":
        return 40 if {1, 2, 3, 4, 5} <= faces or {2, 3, 4, 5, 6} <= faces else 0
    if category == "5 of a Kind":
        return 50 if most == 5 else 0
    return sum(dice)  # Freebie


def card_total(card):
    """Upper total, bonus over 63, lower total: the seat's total."""
    upper = sum(card.get(category, 0) for category in CATEGORIES[:6])
    lower = sum(card.get(category, 0) for category in CATEGORIES[6:])
    return upper + (35 if upper > 63 else 0) + lower


class Board:
    """One game window's board, scorecard and roster, read from the bus."""

    def __init__(self, window):
        self.window = window
        self.board = find(window, "Board", pyatspi.ROLE_FRAME)
        self.card = find(window, "Score Card", pyatspi.ROLE_FRAME)
        self.dice_labels = {}
        for label in find_all(self.board, r"Die [1-5], .*"):
            self.dice_labels[int(DIE_NAME.fullmatch(label.name).group(1))] = label
        assert sorted(self.dice_labels) == [1, 2, 3, 4, 5], "the board has five named dice"
        self._cells = None
        self._turn = None

    # ---------------------------------------------------------------- reading

    def dice(self):
        """{die: (face or None, place)} as each die's name says."""
        read = {}
        for die, label in self.dice_labels.items():
            match = DIE_NAME.fullmatch(label.name)
            assert match, f"a die's name reads {label.name!r}"
            read[die] = (FACES.get(match.group(2)), match.group(3))
        return read

    def turn_caption(self):
        if self._turn is None:
            self._turn = self._find_turn()
        return self._turn.name if self._turn else None

    def _find_turn(self):
        for label in find_all(self.card, role=pyatspi.ROLE_LABEL):
            if re.fullmatch(r"Your turn, .*|.+'s turn", label.name or ""):
                return label
        return None

    def cells(self):
        """{(seat name, category): (value or None, preview or None)} of every cell."""
        if self._cells is None:
            self._cells = [
                label
                for label in find_all(self.card, role=pyatspi.ROLE_LABEL)
                if CELL_NAME.fullmatch(label.name or "")
                and CELL_NAME.fullmatch(label.name).group(2) in CATEGORIES
            ]
        read = {}
        for label in self._cells:
            match = CELL_NAME.fullmatch(label.name)
            value = None if match.group(3) == "not scored" else int(match.group(3))
            preview = int(match.group(4)) if match.group(4) else None
            read[(match.group(1), match.group(2))] = (value, preview)
        return read

    def column(self, seat_name):
        return {cat: cell for (name, cat), cell in self.cells().items() if name == seat_name}

    def totals(self):
        """{seat name: total} from the seats' total labels."""
        read = {}
        for label in find_all(self.window, r".+, total, -?\d+"):
            name, total = re.fullmatch(r"(.+), total, (-?\d+)", label.name).groups()
            read[name] = int(total)
        return read

    # ---------------------------------------------------------------- acting

    def wait_turn(self, caption, timeout=60):
        return wait_for(lambda: self.turn_caption() == caption, timeout, f"the caption {caption!r}")

    def roll_by_action(self):
        press(find(self.board, "Roll the Dice", pyatspi.ROLE_PUSH_BUTTON))

    def give_board_the_keys(self):
        switch_to(self.window)
        focus(self.board)
        wait_for(lambda: self.board.getState().contains(pyatspi.STATE_FOCUSED),
                 what="the board to have the keys")

    def rolled(self, roll):
        """Waits until the caption shows the roll made and every die has a face."""
        if roll == 3:
            self.wait_turn("Your turn, all 3 rolls made, choose a category", timeout=STEP)
        else:
            self.wait_turn(f"Your turn, roll {roll + 1} of 3", timeout=STEP)

        def thrown():
            dice = self.dice()
            return dice if all(face for face, _ in dice.values()) else None

        return wait_for(thrown, what="five thrown dice")

    def play_own_turn(self, own, rolls):
        """Rolls `rolls` times, keeping the most frequent face by its key, then
        scores the best free category with Up/Down and Enter."""
        self.wait_turn("Your turn, roll 1 of 3", timeout=60)
        self.roll_by_action()
        dice = self.rolled(1)
        for roll in range(2, rolls + 1):
            best_face = Counter(face for face, _ in dice.values()).most_common(1)[0][0]
            keep = sorted(die for die, (face, _) in dice.items() if face == best_face)
            self.give_board_the_keys()
            for die in keep:
                if dice[die][1] != "kept":
                    key(str(die))
            wait_for(lambda: all(self.dice()[die][1] == "kept" for die in keep),
                     what=f"dice {keep} kept")
            key("space")
            after = self.rolled(roll)
            for die in keep:
                assert after[die] == (best_face, "kept"), f"kept die {die} changed: {after}"
            dice = after

        faces = [face for _, (face, _) in sorted(dice.items())]
        card = self.column(own)
        free = [category for category in CATEGORIES if card[category][0] is None]
        for category in free:
            assert card[category][1] == points(category, faces), (
                f"{category} previews {card[category][1]} for {faces}"
            )
        choice = max(free, key=lambda category: points(category, faces))
        self.give_board_the_keys()
        # The gold frame starts on the first free category and steps over the free ones.
        for _ in range(free.index(choice)):
            key("Down")
        key("Return")
        scored = points(choice, faces)
        wait_for(lambda: self.column(own)[choice][0] == scored,
                 what=f"{choice} scored {scored} for {faces}")
        return choice, scored
