#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <QVector>
#include <array>

namespace windows {

// The win tally as a table of text cells, the way the tally file stores it:
// row 0 holds the player's own totals, every further row one tallied opponent.
// The tally window shows it; nothing here knows about widgets.
class TallyBook {
public:
    static constexpr int ColumnCount = 9;
    // Own totals (row 0).
    static constexpr int Games = 1, Wins = 2, FiveKinds = 3, HighScore = 4;
    // An opponent's row: totals in 1..4, this session's in 5..8.
    static constexpr int Name = 0, Together = 1, HisWins = 2, MyWins = 3, Neither = 4;
    static constexpr int SessionOffset = 4;
    // What the player window passes as the winner when it won itself.
    static inline const QString Mine = QStringLiteral("addtomine");
    // A tally file never holds more opponents than this; more means damage.
    static constexpr int MaxRows = 100000;

    TallyBook();

    int rowCount() const { return int(m_rows.size()); }
    QString cell(int column, int row) const;
    // The row of a tallied opponent, found without regard to letter case; 0 when not tallied.
    int rowOf(const QString& name) const;
    QStringList opponents() const;

    // One more in this cell; the new value.
    QString addit(int column, int row);
    QString addtomine(int column) { return addit(column, 0); }
    // True when the score is the new (or an equal) highest score.
    bool checkhighscore(const QString& score);
    // One finished game with these opponents in it; winner is Mine or the announced text.
    void addgame(const QString& winner, const QStringList& playersInGame);
    // False when the name is tallied already.
    bool startTallying(const QString& name);
    // False when the name was not tallied.
    bool stopTallying(const QString& name);
    void reset();
    // The session columns count from now.
    void startSession();

    // The table as the tally file's text: "9", the row count, the cells column by column.
    QByteArray toText() const;
    // Replaces the table with one read from such a text; returns what was wrong
    // with the text, empty when nothing was. A cell that is not a count reads
    // as "0"; counts that do not fit the cells present leave the empty table.
    QString readText(const QByteArray& text);

    // The tally file, packed. Load keeps what could be read, starts a new
    // session and returns what was wrong (empty when nothing was or there is
    // no file). Save replaces the file whole or leaves the old one as it was,
    // and returns what went wrong, empty on success.
    QString load(const QString& path);
    QString save(const QString& path) const;
    // A copy of a file about to be replaced (an older copy is dropped).
    static bool keepCopy(const QString& path, const QString& copyPath);

private:
    using Row = std::array<QString, ColumnCount>;
    static Row emptyRow(const QString& name);
    void moverow(int row);
    QString readCells(const QList<QByteArray>& cells);

    QVector<Row> m_rows;
};

} // namespace windows
