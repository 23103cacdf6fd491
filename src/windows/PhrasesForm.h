#pragma once

#include <QStringList>
#include <QWidget>
#include <array>
#include <functional>

class QLineEdit;
class TSelButton;
class TTiledBackground;

// The editor of the nine phrase buttons. The phrases belong to the player
// window, which copies them in before showing the editor; "Done" hands them
// back and stores them, any other close discards the edits.
class Tphrases : public QWidget {
    Q_OBJECT
public:
    static constexpr int PhraseCount = 9;
    static constexpr int MaxPhraseLength = 50;

    explicit Tphrases(QWidget* parent = nullptr);

    std::array<QLineEdit*, PhraseCount + 1> phrase{}; // phrase1..phrase9
    TSelButton* SelButton8 = nullptr;                 // "Done"
    TTiledBackground* TiledBackground1 = nullptr;

    // Set by the player window: its phrase buttons take the nine texts.
    std::function<void(const QStringList&)> onPhrasesChanged;

    // Shows these phrases in the edits; missing ones as empty.
    void setPhrases(const QStringList& nine);
    // The nine texts of the edits.
    QStringList phrases() const;

    void SelButton8Click();

protected:
    void hideEvent(QHideEvent* event) override;

private:
    void showPhrases(const QStringList& nine);

    QStringList m_current; // what the player window holds now
};
