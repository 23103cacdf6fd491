#include "game/RandomGenerator.h"

#include <QDateTime>

TRandomGenerator& TRandomGenerator::shared() {
    static TRandomGenerator generator(clockSeed());
    return generator;
}

std::uint32_t TRandomGenerator::clockSeed() {
    return std::uint32_t(QDateTime::currentDateTimeUtc().time().msecsSinceStartOfDay());
}
