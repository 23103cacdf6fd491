#pragma once

#include <QElapsedTimer>
#include <QObject>
#include <QTimer>
#include <functional>
#include <vector>

// The thrown dice tumble for a moment: a few frames of random faces at
// random slants, then each die is drawn as it landed. Only looks: the game
// has its faces before the first frame, and the timer stops with the last.
class TDiceTumble : public QObject {
    Q_OBJECT
public:
    static constexpr int DurationMilliseconds = 300;
    static constexpr int FrameMilliseconds = 30;

    // `tumbling` draws a die with a face at a slant in degrees; `settled`
    // draws it as it lies.
    TDiceTumble(std::function<void(int die, int face, qreal angle)> tumbling,
                std::function<void(int die)> settled, QObject* parent);

    // Starts the dice tumbling; dice already tumbling go on with the new ones.
    void start(const std::vector<int>& dice);
    // Every die drawn as it lies, at once.
    void stop();
    bool running() const { return m_timer.isActive(); }

private:
    void frame();

    std::function<void(int, int, qreal)> m_tumbling;
    std::function<void(int)> m_settled;
    std::vector<int> m_dice;
    QTimer m_timer;
    QElapsedTimer m_clock;
};
