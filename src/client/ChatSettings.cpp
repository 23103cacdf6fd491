// The player's preferences: the settings file, and the Options, View and
// Help menus that change or show them.
#include "client/ChatForm.h"
#include "client/ColorConversion.h"
#include "client/WindowBounds.h"
#include "client/WindowZoom.h"
#include "game/StrategyStore.h"
#include "platform/Environment.h"
#include "platform/IniFile.h"
#include "platform/Logging.h"
#include "windows/AboutForm.h"
#include "windows/DownloadForm.h"
#include "windows/HelpForm.h"
#include "windows/TallyListForm.h"

#include <QAction>
#include <QActionGroup>
#include <QColorDialog>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QTextEdit>

namespace {

const QString Section = QStringLiteral("Dunvex");
const QString SettingsFile = QStringLiteral("kelvlobby.ini");
constexpr std::array<int, 4> TextSizes = {8, 10, 12, 14};
constexpr std::array<int, 4> ZoomSteps = {100, 125, 150, 200};

// Only the exact text "false" is false.
bool readSwitch(const platform::IniFile& ini, const char* key) {
    return ini.readString(Section, QLatin1String(key), QStringLiteral("true")) !=
           QLatin1String("false");
}

TColor readColor(const platform::IniFile& ini, const char* key) {
    return net::StringToColor(
               ini.readString(Section, QLatin1String(key), QStringLiteral("clblack")))
        .value_or(clBlack);
}

QString switchText(const QAction* item) {
    return item->isChecked() ? QStringLiteral("true") : QStringLiteral("false");
}

} // namespace

void Tchat::buildOptionsMenu(QMenu* options) {
    PlaySounds1 =
        options->addAction(QStringLiteral("Play &Sounds"), this, &Tchat::PlaySounds1Click);
    PlaySounds1->setCheckable(true);
    PlaySounds1->setChecked(true);

    QMenu* turnSound = options->addMenu(QStringLiteral("&Turn Sound"));
    TurnSound1 = turnSound->menuAction();
    auto* turnSounds = new QActionGroup(this);
    Classic1 = turnSound->addAction(QStringLiteral("&Classic"));
    New1 = turnSound->addAction(QStringLiteral("&New"));
    for (QAction* item : {Classic1, New1}) {
        item->setCheckable(true);
        turnSounds->addAction(item);
    }
    Classic1->setChecked(true);
    connect(turnSounds, &QActionGroup::triggered, this, &Tchat::New1Click);

    PlayChatterSounds1 = options->addAction(QStringLiteral("Play C&hatter Sounds"), this,
                                            &Tchat::PlayChatterSounds1Click);
    PlayChatterSounds1->setCheckable(true);

    QMenu* botSpeed = options->addMenu(QStringLiteral("&Bot Speed"));
    BotSpeed1 = botSpeed->menuAction();
    auto* speeds = new QActionGroup(this);
    Slow1 = botSpeed->addAction(QStringLiteral("&Slow"));
    Normal1 = botSpeed->addAction(QStringLiteral("&Normal"));
    Fast1 = botSpeed->addAction(QStringLiteral("&Fast"));
    for (auto [item, tag] :
         {std::pair{Slow1, 1500}, std::pair{Normal1, 1000}, std::pair{Fast1, 500}}) {
        item->setCheckable(true);
        item->setData(tag);
        speeds->addAction(item);
    }
    Normal1->setChecked(true);
    connect(speeds, &QActionGroup::triggered, this, &Tchat::Slow1Click);

    QMenu* skill = options->addMenu(QStringLiteral("Co&mputer Players"));
    ComputerPlayers1 = skill->menuAction();
    auto* skills = new QActionGroup(this);
    ClassicPlayers1 = skill->addAction(QStringLiteral("&Classic"));
    ExpertPlayers1 = skill->addAction(QStringLiteral("&Expert"));
    for (auto [item, tag] : {std::pair{ClassicPlayers1, 0}, std::pair{ExpertPlayers1, 1}}) {
        item->setCheckable(true);
        item->setData(tag);
        skills->addAction(item);
    }
    ClassicPlayers1->setChecked(true);
    connect(skills, &QActionGroup::triggered, this, &Tchat::ClassicPlayers1Click);

    options->addSeparator();
    TextColor1 = options->addAction(QStringLiteral("Te&xt Color"), this, &Tchat::TextColor1Click);
    ActionColor1 =
        options->addAction(QStringLiteral("&Action Color"), this, &Tchat::ActionColor1Click);
    QMenu* textSize = options->addMenu(QStringLiteral("Text Si&ze"));
    for (std::size_t i = 0; i < TextSizes.size(); ++i) {
        const int size = TextSizes[i];
        QAction* item =
            textSize->addAction(QString::number(size), this, [this, size] { N14Click(size); });
        item->setObjectName(QStringLiteral("N%1").arg(size));
        item->setCheckable(true);
        textSizeItems[i] = item;
    }
    ScrollOff1 =
        options->addAction(QStringLiteral("Scroll Chat O&ff"), this, &Tchat::ScrollChatOff1Click);
    ScrollOff1->setCheckable(true);
    ScrollOff1->setShortcut(QKeySequence(QStringLiteral("Ctrl+S")));
    ResetScreenLocation1 = options->addAction(QStringLiteral("&Reset Screen Location"), this,
                                              &Tchat::ResetScreenLocation1Click);
    options->addSeparator();
    JustWatch1 = options->addAction(QStringLiteral("&Just Watch"), this, &Tchat::JustWatch1Click);
    JustWatch1->setCheckable(true);
    doubleCheck =
        options->addAction(QStringLiteral("&Double Check for 0 Score"), this, &Tchat::doubleClick);
    doubleCheck->setObjectName(QStringLiteral("double"));
    doubleCheck->setCheckable(true);
}

// ---------------------------------------------------------------- option handlers

void Tchat::TextColor1Click() {
    // Asynchronous, so the message pump keeps running while the player chooses.
    auto* dialog = new QColorDialog(client::toQColor(textColor), this);
    dialog->setObjectName(QStringLiteral("ColorDialog"));
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    connect(dialog, &QColorDialog::colorSelected, this, [this](const QColor& color) {
        textColor = client::fromQColor(color);
        showTextColor();
        saveinifile();
    });
    dialog->open();
}

// The entry line's own look stays under the colour.
void Tchat::showTextColor() {
    zoom->setStyleSheet(
        mychat,
        mychat->property("look").toString() +
            QStringLiteral(" QLineEdit { color: %1; }").arg(client::toQColor(textColor).name()));
}

void Tchat::ActionColor1Click() {
    auto* dialog = new QColorDialog(client::toQColor(actionColor), this);
    dialog->setObjectName(QStringLiteral("ColorDialog2"));
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    connect(dialog, &QColorDialog::colorSelected, this,
            [this](const QColor& color) { actionColor = client::fromQColor(color); });
    // Saved whether the player confirmed or cancelled.
    connect(dialog, &QDialog::finished, this, [this] { saveinifile(); });
    dialog->open();
}

void Tchat::N14Click(int size) {
    QFont font = zoom->designFont(mainchat);
    font.setPointSize(size);
    zoom->setFont(mainchat, font);
    for (QAction* item : textSizeItems)
        item->setChecked(item->text() == QString::number(size));
    saveinifile();
}

void Tchat::Slow1Click(QAction* item) {
    item->setChecked(true);
    botSpeedTag = item->data().toInt();
    saveinifile();
}

// The host of this process reads the tag at every computer step.
void Tchat::ClassicPlayers1Click(QAction* item) {
    item->setChecked(true);
    botSkillTag = item->data().toInt();
    saveinifile();
    prepareExpertPlayers();
    showComputerTurn();
}

// The Expert's tables take seconds: they are worked out from the moment the
// Expert is chosen, for both kinds of game, not at its first turn.
void Tchat::prepareExpertPlayers() {
    if (botSkillTag != 1 || !hosting)
        return;
    game::StrategyStore::shared().tables(false);
    game::StrategyStore::shared().tables(true);
}

void Tchat::PlaySounds1Click() {
    saveinifile();
}

void Tchat::New1Click(QAction* item) {
    turnSoundTag = item == New1 ? 1 : 0;
    saveinifile();
}

void Tchat::PlayChatterSounds1Click() {
    saveinifile();
}

void Tchat::doubleClick() {
    saveinifile();
}

void Tchat::ResetScreenLocation1Click() {
    client::setOuterBounds(*this, client::DefaultWindowBounds);
}

void Tchat::ViewTally1Click() {
    if (!m_forms.tallylist)
        return;
    loadchecklist();
    client::showCentredOn(*m_forms.tallylist, *this);
}

void Tchat::Help2Click() {
    if (m_forms.help)
        client::showCentredOn(*m_forms.help, *this);
}

void Tchat::About1Click() {
    if (m_forms.about)
        client::showCentredOn(*m_forms.about, *this);
}

// The start dialog's choice: sent to the host, which starts the game for all.
void Tchat::startgame(bool bonus, bool team) {
    if (!sock.Connected())
        return;
    sendToHost(net::WireMessage("CMD_startgame")
                   .field(model.ownSeat())
                   .field(bonus ? "t" : "f")
                   .field(team ? "true" : "false")
                   .bytes());
}

// The client area never gets smaller than the whole design, so nothing of the
// scorecard or the chat line is ever cut off.
void Tchat::FormResize() {
    centralWidget()->setMinimumSize(zoom->designSize());
}

// The size the player chose; the display shows it times the zoom.
int Tchat::chatTextSize() const {
    return zoom->designFont(mainchat).pointSize();
}

void Tchat::buildZoomMenu(QMenu* menu) {
    auto* steps = new QActionGroup(this);
    steps->setExclusionPolicy(QActionGroup::ExclusionPolicy::ExclusiveOptional);
    for (std::size_t i = 0; i < ZoomSteps.size(); ++i) {
        const int percent = ZoomSteps[i];
        QAction* item = menu->addAction(QStringLiteral("%1 %").arg(percent), this,
                                        [this, percent] { Zoom1Click(percent); });
        item->setObjectName(QStringLiteral("Zoom%1").arg(percent));
        item->setCheckable(true);
        steps->addAction(item);
        zoomItems[i] = item;
    }
}

// Checked is the step the window shows now, none for a size in between.
void Tchat::markZoomItems() {
    for (std::size_t i = 0; i < ZoomSteps.size(); ++i)
        zoomItems[i]->setChecked(ZoomSteps[i] == zoom->percent());
}

void Tchat::Zoom1Click(int percent) {
    markZoomItems();
    if (isMaximized() || isFullScreen())
        showNormal();
    const QSize wanted = windowSizeFor(percent);
    if (wanted == size())
        return saveinifile();
    // The desktop grants the size later; it is saved once the layout follows.
    m_zoomToSave = true;
    resize(wanted);
}

QSize Tchat::windowSizeFor(int percent) const {
    return zoom->groundSizeFor(percent) + size() - centralWidget()->size();
}

void Tchat::zoomSettled() {
    applySkin();
    if (std::exchange(m_zoomToSave, false))
        saveinifile();
}

// ---------------------------------------------------------------- the file

void Tchat::loadinifile() {
    const platform::IniFile ini(platform::dataFilePath(SettingsFile));
    QRect bounds(ini.readInteger(Section, QStringLiteral("Left"), 3),
                 ini.readInteger(Section, QStringLiteral("Top"), 3),
                 ini.readInteger(Section, QStringLiteral("Width"), 783),
                 ini.readInteger(Section, QStringLiteral("Height"), 512));
    savedBounds = bounds;
    // A zoom the file names sets the size, unless the saved size shows that
    // zoom already (a window the player sized by hand comes back as it was).
    // Without one the size is as saved, as before there was a zoom.
    const int percent = ini.readInteger(Section, QStringLiteral("Zoom"), 0);
    const QSize chrome = frameGeometry().size() - centralWidget()->size();
    if (percent >= TWindowZoom::MinPercent && percent <= TWindowZoom::MaxPercent &&
        zoom->percentFor(bounds.size() - chrome) != percent)
        bounds.setSize(zoom->groundSizeFor(percent) + chrome);
    client::setOuterBounds(*this, bounds);
    // The solo start-up panel opened before the saved place was known.
    if (m_forms.download && m_forms.download->isVisible())
        client::showCentredOn(*m_forms.download, *this);

    const int size = ini.readInteger(Section, QStringLiteral("Textsize"), 8);
    QFont font = zoom->designFont(mainchat);
    font.setPointSize(size > 0 ? size : 8);
    zoom->setFont(mainchat, font);
    for (QAction* item : textSizeItems)
        item->setChecked(item->text() == QString::number(size));

    textColor = readColor(ini, "Textcolor");
    actionColor = readColor(ini, "Actioncolor");
    showTextColor();

    for (int button = 1; button <= 9; ++button) {
        const QString text =
            ini.readString(Section, QStringLiteral("Phrase%1").arg(button), QString());
        if (!text.isEmpty())
            setPhrase(button, text);
    }

    const int speed = ini.readInteger(Section, QStringLiteral("Botspeed"), 1000);
    QAction* speedItem = speed == 500 ? Fast1 : speed == 1500 ? Slow1 : Normal1;
    speedItem->setChecked(true);
    botSpeedTag = speedItem->data().toInt();
    if (model.ownSeat() == 1 && loggedin)
        sendToHost(net::WireMessage("CMD_botspeed")
                       .field(model.ownSeat())
                       .field(botSpeedTag)
                       .field("")
                       .bytes());

    const bool expert =
        ini.readString(Section, QStringLiteral("BotSkill"), QStringLiteral("Classic"))
            .compare(QLatin1String("Expert"), Qt::CaseInsensitive) == 0;
    (expert ? ExpertPlayers1 : ClassicPlayers1)->setChecked(true);
    botSkillTag = expert ? 1 : 0;
    prepareExpertPlayers();

    PlaySounds1->setChecked(readSwitch(ini, "Playsounds"));
    doubleCheck->setChecked(readSwitch(ini, "Doublecheck"));
    const bool newTurnSound = ini.readString(Section, QStringLiteral("Turnsound"),
                                             QStringLiteral("0")) == QLatin1String("1");
    (newTurnSound ? New1 : Classic1)->setChecked(true);
    turnSoundTag = newTurnSound ? 1 : 0;
    PlayChatterSounds1->setChecked(readSwitch(ini, "ChatterSounds"));
}

void Tchat::saveinifile() {
    writeSettings(client::outerBounds(*this));
}

void Tchat::writeSettings(const QRect& bounds) {
    platform::IniFile ini(platform::dataFilePath(SettingsFile));
    ini.writeInteger(Section, QStringLiteral("Textsize"), chatTextSize());
    ini.writeString(Section, QStringLiteral("Textcolor"), net::ColorToString(textColor));
    ini.writeString(Section, QStringLiteral("Actioncolor"), net::ColorToString(actionColor));
    ini.writeInteger(Section, QStringLiteral("Botspeed"), botSpeedTag);
    ini.writeInteger(Section, QStringLiteral("Top"), bounds.top());
    ini.writeInteger(Section, QStringLiteral("Left"), bounds.left());
    ini.writeInteger(Section, QStringLiteral("Width"), bounds.width());
    ini.writeInteger(Section, QStringLiteral("Height"), bounds.height());
    ini.writeString(Section, QStringLiteral("Playsounds"), switchText(PlaySounds1));
    ini.writeString(Section, QStringLiteral("Doublecheck"), switchText(doubleCheck));
    ini.writeInteger(Section, QStringLiteral("Turnsound"), turnSoundTag);
    ini.writeString(Section, QStringLiteral("ChatterSounds"), switchText(PlayChatterSounds1));
    ini.writeString(Section, QStringLiteral("BotSkill"),
                    botSkillTag == 1 ? QStringLiteral("Expert") : QStringLiteral("Classic"));
    ini.writeInteger(Section, QStringLiteral("Zoom"), zoom->percent());
    if (!ini.save())
        qCWarning(lcLaunch) << "settings could not be written";
}
