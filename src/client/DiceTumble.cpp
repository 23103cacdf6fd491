#include "client/DiceTumble.h"

#include <QRandomGenerator>
#include <algorithm>

TDiceTumble::TDiceTumble(std::function<void(int, int, qreal)> tumbling,
                         std::function<void(int)> settled, QObject* parent)
    : QObject(parent)
    , m_tumbling(std::move(tumbling))
    , m_settled(std::move(settled)) {
    m_timer.setInterval(FrameMilliseconds);
    connect(&m_timer, &QTimer::timeout, this, &TDiceTumble::frame);
}

void TDiceTumble::start(const std::vector<int>& dice) {
    for (int die : dice)
        if (std::find(m_dice.begin(), m_dice.end(), die) == m_dice.end())
            m_dice.push_back(die);
    if (m_dice.empty())
        return;
    m_clock.start();
    m_timer.start();
    frame();
}

void TDiceTumble::stop() {
    m_timer.stop();
    for (int die : std::exchange(m_dice, {}))
        m_settled(die);
}

// Its own generator: the game's draws the dice and their places, in an order
// a tumble must not disturb.
void TDiceTumble::frame() {
    if (m_clock.elapsed() >= DurationMilliseconds)
        return stop();
    QRandomGenerator* random = QRandomGenerator::global();
    for (int die : m_dice)
        m_tumbling(die, int(random->bounded(1, 7)), random->bounded(70.0) - 35.0);
}
