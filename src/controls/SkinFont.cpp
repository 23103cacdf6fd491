#include "controls/SkinFont.h"

#include <QApplication>
#include <QFont>
#include <QFontDatabase>

namespace controls {

const QString SkinFont::Family = QStringLiteral("Liberation Sans");

bool SkinFont::install() {
    bool complete = true;
    for (const char* face :
         {":/fonts/LiberationSans-Regular.ttf", ":/fonts/LiberationSans-Bold.ttf"})
        complete = QFontDatabase::addApplicationFont(QString::fromLatin1(face)) >= 0 && complete;
    // The windows and style sheets name "Arial"; the substitution is looked up
    // before the machine's own aliases, so the built-in faces win everywhere.
    QFont::insertSubstitution(QStringLiteral("Arial"), Family);
    // Captions that name no family take it too.
    QFont standard = QApplication::font();
    standard.setFamilies({Family});
    QApplication::setFont(standard);
    return complete;
}

} // namespace controls
