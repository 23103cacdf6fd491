// The player's preferences: the settings file, and the Options, View and
// Help menus that change or show them.
#include "client/ChatForm.h"
#include "client/ColorConversion.h"
#include "client/WindowBounds.h"
#include "client/WindowZoom.h"
#include "game/StrategyStore.h"
#include "platform/Environment.h"
#include "platform/Logging.h"

#include <QAction>
#include <QActionGroup>
#include <QColorDialog>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QTextEdit>

namespace {

using client::TPlayerSettings;
constexpr std::array<int, 4> TextSizes = {8, 10, 12, 14};
constexpr std::array<int, 4> ZoomSteps = {100, 125, 150, 200};

} // namespace

void Tchat::buildOptionsMenu(QMenu* options) {
    PlaySounds1 = options->addAction(QStringLiteral("Play &Sounds"));
    PlaySounds1->setObjectName(QStringLiteral("PlaySounds1"));
    PlaySounds1->setCheckable(true);
    PlaySounds1->setChecked(true);
    connect(PlaySounds1, &QAction::triggered, this, &Tchat::PlaySounds1Click);

    QMenu* turnSound = options->addMenu(QStringLiteral("&Turn Sound"));
    turnSound->menuAction()->setObjectName(QStringLiteral("TurnSound1"));
    auto* turnSounds = new QActionGroup(this);
    Classic1 = turnSound->addAction(QStringLiteral("&Classic"));
    Classic1->setObjectName(QStringLiteral("Classic1"));
    New1 = turnSound->addAction(QStringLiteral("&New"));
    New1->setObjectName(QStringLiteral("New1"));
    for (QAction* item : {Classic1, New1}) {
        item->setCheckable(true);
        turnSounds->addAction(item);
    }
    Classic1->setChecked(true);
    connect(turnSounds, &QActionGroup::triggered, this, &Tchat::New1Click);

    PlayChatterSounds1 = options->addAction(QStringLiteral("Play C&hatter Sounds"));
    PlayChatterSounds1->setObjectName(QStringLiteral("PlayChatterSounds1"));
    PlayChatterSounds1->setCheckable(true);
    connect(PlayChatterSounds1, &QAction::triggered, this, &Tchat::PlayChatterSounds1Click);

    QMenu* botSpeed = options->addMenu(QStringLiteral("&Bot Speed"));
    BotSpeed1 = botSpeed->menuAction();
    BotSpeed1->setObjectName(QStringLiteral("BotSpeed1"));
    auto* speeds = new QActionGroup(this);
    Slow1 = botSpeed->addAction(QStringLiteral("&Slow"));
    Normal1 = botSpeed->addAction(QStringLiteral("&Normal"));
    Fast1 = botSpeed->addAction(QStringLiteral("&Fast"));
    Slow1->setObjectName(QStringLiteral("Slow1"));
    Normal1->setObjectName(QStringLiteral("Normal1"));
    Fast1->setObjectName(QStringLiteral("Fast1"));
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
    ComputerPlayers1->setObjectName(QStringLiteral("ComputerPlayers1"));
    auto* skills = new QActionGroup(this);
    ClassicPlayers1 = skill->addAction(QStringLiteral("&Classic"));
    ExpertPlayers1 = skill->addAction(QStringLiteral("&Expert"));
    ClassicPlayers1->setObjectName(QStringLiteral("ClassicPlayers1"));
    ExpertPlayers1->setObjectName(QStringLiteral("ExpertPlayers1"));
    for (auto [item, tag] : {std::pair{ClassicPlayers1, 0}, std::pair{ExpertPlayers1, 1}}) {
        item->setCheckable(true);
        item->setData(tag);
        skills->addAction(item);
    }
    ClassicPlayers1->setChecked(true);
    connect(skills, &QActionGroup::triggered, this, &Tchat::ClassicPlayers1Click);

    options->addSeparator();
    options->addAction(QStringLiteral("Te&xt Color"), this, &Tchat::TextColor1Click)
        ->setObjectName(QStringLiteral("TextColor1"));
    options->addAction(QStringLiteral("&Action Color"), this, &Tchat::ActionColor1Click)
        ->setObjectName(QStringLiteral("ActionColor1"));
    QMenu* textSize = options->addMenu(QStringLiteral("Text Si&ze"));
    for (std::size_t i = 0; i < TextSizes.size(); ++i) {
        const int size = TextSizes[i];
        QAction* item =
            textSize->addAction(QString::number(size), this, [this, size] { N14Click(size); });
        item->setObjectName(QStringLiteral("N%1").arg(size));
        item->setCheckable(true);
        textSizeItems[i] = item;
    }
    ScrollOff1 = options->addAction(QStringLiteral("Scroll Chat O&ff"));
    ScrollOff1->setObjectName(QStringLiteral("ScrollOff1"));
    ScrollOff1->setCheckable(true);
    ScrollOff1->setShortcut(QKeySequence(QStringLiteral("Ctrl+S")));
    connect(ScrollOff1, &QAction::triggered, this, &Tchat::ScrollChatOff1Click);
    options
        ->addAction(QStringLiteral("&Reset Screen Location"), this,
                    &Tchat::ResetScreenLocation1Click)
        ->setObjectName(QStringLiteral("ResetScreenLocation1"));
    options->addSeparator();
    JustWatch1 = options->addAction(QStringLiteral("&Just Watch"), this, &Tchat::JustWatch1Click);
    JustWatch1->setObjectName(QStringLiteral("JustWatch1"));
    JustWatch1->setCheckable(true);
    doubleCheck = options->addAction(QStringLiteral("&Double Check for 0 Score"));
    doubleCheck->setObjectName(QStringLiteral("double"));
    doubleCheck->setCheckable(true);
    connect(doubleCheck, &QAction::triggered, this, &Tchat::doubleClick);
}

// ---------------------------------------------------------------- option handlers

void Tchat::TextColor1Click() {
    // Asynchronous, so the message pump keeps running while the player chooses.
    auto* dialog = new QColorDialog(client::toQColor(m_session.settings().textColor), this);
    dialog->setObjectName(QStringLiteral("ColorDialog"));
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    connect(dialog, &QColorDialog::colorSelected, this, [this](const QColor& color) {
        m_session.settings().textColor = client::fromQColor(color);
        showTextColor();
        saveinifile();
    });
    dialog->open();
}

// The entry line's own look stays under the colour.
void Tchat::showTextColor() {
    zoom->setStyleSheet(mychat,
                        mychat->property("look").toString() +
                            QStringLiteral(" QLineEdit { color: %1; }")
                                .arg(client::toQColor(m_session.settings().textColor).name()));
}

void Tchat::ActionColor1Click() {
    auto* dialog = new QColorDialog(client::toQColor(m_session.settings().actionColor), this);
    dialog->setObjectName(QStringLiteral("ColorDialog2"));
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    connect(dialog, &QColorDialog::colorSelected, this, [this](const QColor& color) {
        m_session.settings().actionColor = client::fromQColor(color);
    });
    // Saved whether the player confirmed or cancelled.
    connect(dialog, &QDialog::finished, this, [this] { saveinifile(); });
    dialog->open();
}

void Tchat::N14Click(int size) {
    QFont font = zoom->designFont(mainchat);
    font.setPointSize(size);
    zoom->setFont(mainchat, font);
    markTextSize(size);
    saveinifile();
}

void Tchat::markTextSize(int size) {
    for (std::size_t i = 0; i < TextSizes.size(); ++i)
        textSizeItems[i]->setChecked(TextSizes[i] == size);
}

void Tchat::Slow1Click(QAction* item) {
    item->setChecked(true);
    m_session.settings().botSpeed = item == Slow1 ? 1500 : item == Fast1 ? 500 : 1000;
    saveinifile();
}

// The host of this process reads the tag at every computer step.
void Tchat::ClassicPlayers1Click(QAction* item) {
    item->setChecked(true);
    m_session.settings().botSkill = item == ExpertPlayers1 ? TPlayerSettings::BotSkill::Expert
                                                           : TPlayerSettings::BotSkill::Classic;
    saveinifile();
    prepareExpertPlayers();
    showComputerTurn();
}

// The Expert's tables take seconds: they are worked out from the moment the
// Expert is chosen, for both kinds of game, not at its first turn.
void Tchat::prepareExpertPlayers() {
    if (m_session.settings().botSkill != TPlayerSettings::BotSkill::Expert || !m_session.hosting())
        return;
    game::StrategyStore::shared().tables(false);
    game::StrategyStore::shared().tables(true);
}

void Tchat::PlaySounds1Click(bool on) {
    m_session.settings().playSounds = on;
    saveinifile();
}

void Tchat::New1Click(QAction* item) {
    m_session.settings().turnSound =
        item == New1 ? TPlayerSettings::TurnSound::New : TPlayerSettings::TurnSound::Classic;
    saveinifile();
}

void Tchat::PlayChatterSounds1Click(bool on) {
    m_session.settings().chatterSounds = on;
    saveinifile();
}

void Tchat::doubleClick(bool on) {
    m_session.settings().doubleCheck = on;
    saveinifile();
}

void Tchat::ResetScreenLocation1Click() {
    client::setOuterBounds(*this, client::DefaultWindowBounds);
}

// The start dialog's choice: sent to the host, which starts the game for all.
void Tchat::startgame(bool bonus, bool team) {
    m_session.start(bonus, team);
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

// The host has seated us: the player's settings take effect.
void Tchat::loadinifile() {
    TPlayerSettings& settings = m_session.settings();
    settings.load(TPlayerSettings::defaultPath());
    QRect bounds = settings.bounds;
    m_savedBounds = bounds;
    // A zoom the file names sets the size, unless the saved size shows that
    // zoom already (a window the player sized by hand comes back as it was).
    // Without one the size is as saved, as before there was a zoom.
    const int percent = settings.zoomPercent;
    const QSize chrome = frameGeometry().size() - centralWidget()->size();
    if (percent >= TWindowZoom::MinPercent && percent <= TWindowZoom::MaxPercent &&
        zoom->percentFor(bounds.size() - chrome) != percent)
        bounds.setSize(zoom->groundSizeFor(percent) + chrome);
    client::setOuterBounds(*this, bounds);
    emit placeRestored();

    QFont font = zoom->designFont(mainchat);
    font.setPointSize(settings.textSize > 0 ? settings.textSize : 8);
    zoom->setFont(mainchat, font);
    markTextSize(settings.textSize);
    showTextColor();

    for (int button = 1; button <= 9; ++button)
        if (!settings.phrases[std::size_t(button)].isEmpty())
            setPhrase(button, settings.phrases[std::size_t(button)]);

    (settings.botSpeed == 500    ? Fast1
     : settings.botSpeed == 1500 ? Slow1
                                 : Normal1)
        ->setChecked(true);
    m_session.announceBotSpeed();

    const bool expert = settings.botSkill == TPlayerSettings::BotSkill::Expert;
    (expert ? ExpertPlayers1 : ClassicPlayers1)->setChecked(true);
    prepareExpertPlayers();

    PlaySounds1->setChecked(settings.playSounds);
    doubleCheck->setChecked(settings.doubleCheck);
    (settings.turnSound == TPlayerSettings::TurnSound::New ? New1 : Classic1)->setChecked(true);
    PlayChatterSounds1->setChecked(settings.chatterSounds);
}

void Tchat::saveinifile() {
    writeSettings(client::outerBounds(*this));
}

void Tchat::writeSettings(const QRect& bounds) {
    TPlayerSettings& settings = m_session.settings();
    settings.bounds = bounds;
    settings.textSize = chatTextSize();
    settings.zoomPercent = zoom->percent();
    if (!settings.save(TPlayerSettings::defaultPath()))
        qCWarning(lcLaunch) << "settings could not be written";
}
