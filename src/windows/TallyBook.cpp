#include "windows/TallyBook.h"

#include "platform/StrToInt.h"

#include <algorithm>

namespace windows {

namespace {

// A count as the file stores it: plain decimal digits. Eighteen digits keep
// every increment inside 64 bits.
bool isCount(const QString& text) {
    return !text.isEmpty() && text.size() <= 18 &&
           std::all_of(text.begin(), text.end(), [](QChar c) { return c >= u'0' && c <= u'9'; });
}

int numberOr0(const QString& text) {
    try {
        return platform::StrToInt(text);
    } catch (const platform::EConvertError&) {
        return 0;
    }
}

// The lines of the text, each without its CR LF (a bare LF is taken too).
QList<QByteArray> textLines(const QByteArray& text) {
    QList<QByteArray> lines = text.split('\n');
    if (!lines.isEmpty() && lines.back().isEmpty())
        lines.pop_back();
    for (QByteArray& line : lines)
        if (line.endsWith('\r'))
            line.chop(1);
    return lines;
}

} // namespace

TallyBook::TallyBook() {
    reset();
}

TallyBook::Row TallyBook::emptyRow(const QString& name) {
    Row row;
    row.fill(QStringLiteral("0"));
    row[Name] = name;
    return row;
}

QString TallyBook::cell(int column, int row) const {
    if (row < 0 || row >= rowCount() || column < 0 || column >= ColumnCount)
        return {};
    return m_rows[row][column];
}

int TallyBook::rowOf(const QString& name) const {
    for (int row = 1; row < rowCount(); ++row)
        if (m_rows[row][Name].compare(name, Qt::CaseInsensitive) == 0)
            return row;
    return 0;
}

QStringList TallyBook::opponents() const {
    QStringList names;
    for (int row = 1; row < rowCount(); ++row)
        names << m_rows[row][Name];
    return names;
}

QString TallyBook::addit(int column, int row) {
    if (row < 0 || row >= rowCount() || column < 1 || column >= ColumnCount)
        return {};
    QString& value = m_rows[row][column];
    // Cells are checked when the file is read, so this is always a count.
    value = QString::number(value.toLongLong() + 1);
    return value;
}

bool TallyBook::checkhighscore(const QString& score) {
    const int highest = numberOr0(m_rows[0][HighScore]);
    const int total = numberOr0(score);
    if (total < highest)
        return false;
    m_rows[0][HighScore] = QString::number(total);
    return true;
}

void TallyBook::addgame(const QString& winner, const QStringList& playersInGame) {
    addtomine(Games);
    if (winner == Mine)
        addtomine(Wins);
    for (const QString& name : playersInGame) {
        const int row = rowOf(name);
        if (row == 0)
            continue;
        for (int column = 1; column < ColumnCount; ++column)
            if (m_rows[row][column].isEmpty())
                m_rows[row][column] = QStringLiteral("0");
        const int outcome = m_rows[row][Name] == winner ? HisWins
                            : winner == Mine            ? MyWins
                                                        : Neither;
        for (int column : {Together, outcome}) {
            addit(column, row);
            addit(column + SessionOffset, row);
        }
    }
}

bool TallyBook::startTallying(const QString& name) {
    if (rowOf(name) != 0)
        return false;
    m_rows.push_back(emptyRow(name));
    return true;
}

bool TallyBook::stopTallying(const QString& name) {
    const int row = rowOf(name);
    if (row == 0)
        return false;
    moverow(row);
    return true;
}

void TallyBook::moverow(int row) {
    if (row >= 1 && row < rowCount())
        m_rows.remove(row);
}

void TallyBook::reset() {
    m_rows = {emptyRow(QStringLiteral("0"))};
}

void TallyBook::startSession() {
    for (int row = 1; row < rowCount(); ++row)
        for (int column = Together; column <= Neither; ++column)
            m_rows[row][column + SessionOffset] = QStringLiteral("0");
}

QByteArray TallyBook::toText() const {
    QByteArray text;
    // A line break inside a cell would shift every cell after it.
    const auto line = [&text](const QString& value) {
        text += value.toLatin1().replace('\r', ' ').replace('\n', ' ') + "\r\n";
    };
    line(QString::number(ColumnCount));
    line(QString::number(rowCount()));
    for (int column = 0; column < ColumnCount; ++column)
        for (const Row& row : m_rows)
            line(row[column]);
    return text;
}

QString TallyBook::readText(const QByteArray& text) {
    reset();
    const QList<QByteArray> lines = textLines(text);
    if (lines.value(0) != "9")
        return QStringLiteral("it does not start with the column count 9");
    const int rows = numberOr0(QString::fromLatin1(lines.value(1)));
    if (rows < 1 || rows > MaxRows)
        return QStringLiteral("its row count is not a number from 1 to %1").arg(MaxRows);
    // Cells are mapped by their position alone: with a count that does not
    // fit them, every cell would land in the wrong place.
    const qsizetype cells = lines.size() - 2;
    if (cells != qsizetype(rows) * ColumnCount)
        return QStringLiteral("it holds %1 cells where %2 rows need %3")
            .arg(cells)
            .arg(rows)
            .arg(qsizetype(rows) * ColumnCount);
    m_rows.resize(rows, emptyRow(QString()));
    m_rows[0][Name] = QStringLiteral("0");
    const QString problem = readCells(lines.mid(2));
    // A row whose name was lost can never be matched or shown.
    m_rows.erase(std::remove_if(m_rows.begin() + 1, m_rows.end(),
                                [](const Row& row) { return row[Name].isEmpty(); }),
                 m_rows.end());
    return problem;
}

// The cells column by column, as many as the table has; a count that is not
// one stays "0", and the first such cell is the problem reported.
QString TallyBook::readCells(const QList<QByteArray>& cells) {
    QString problem;
    qsizetype next = 0;
    for (int column = 0; column < ColumnCount; ++column) {
        for (int row = 0; row < rowCount(); ++row, ++next) {
            const QString value = QString::fromLatin1(cells[next]);
            if (column == Name) {
                if (row > 0)
                    m_rows[row][Name] = value;
            } else if (isCount(value)) {
                m_rows[row][column] = value;
            } else if (!value.isEmpty() && problem.isEmpty()) {
                problem = QStringLiteral("line %1 should be a count but reads \"%2\"")
                              .arg(next + 3)
                              .arg(value.left(40));
            }
        }
    }
    return problem;
}

} // namespace windows
