// Test helper: saves a large tally over and over until it is killed. Save k
// holds k games and k games with each opponent, so a reader can tell that a
// file is one whole save. Prints "saved k" after each.
#include "windows/TallyBook.h"

#include <QString>
#include <cstdio>

int main(int argc, char** argv) {
    if (argc != 3)
        return 2;
    const QString path = QString::fromLocal8Bit(argv[1]);
    const int opponents = QString::fromLatin1(argv[2]).toInt();
    windows::TallyBook book;
    for (int n = 0; n < opponents; ++n)
        book.startTallying(QStringLiteral("Player%1").arg(n));
    for (int k = 1;; ++k) {
        book.addtomine(windows::TallyBook::Games);
        for (int row = 1; row <= opponents; ++row)
            book.addit(windows::TallyBook::Together, row);
        const QString problem = book.save(path);
        if (!problem.isEmpty()) {
            std::fprintf(stderr, "%s\n", qPrintable(problem));
            return 1;
        }
        std::printf("saved %d\n", k);
        std::fflush(stdout);
    }
}
