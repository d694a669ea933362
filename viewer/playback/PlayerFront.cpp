#include "PlayerFront.h"

namespace drivora {


PlayerFront::PlayerFront()
{
    WriteComponentsFlag();
}

PlayerFront::~PlayerFront()
{
    close();
}

void PlayerFront::init(IVideoWindow *front, IVideoWindow *rear)
{
    m_mode = 2;
    m_front = front;
    m_rear = rear;
    if (!m_engine) {
        m_engine = std::make_unique<PlaybackEngine>(m_mode, m_front, m_rear);
        m_engine->setInitialised(true);
    }
}

bool PlayerFront::open(const QString &path)
{
    if (!m_front || path.isEmpty())
        return false;
    if (m_engine) {
        m_engine->stop();
        m_engine->seek(0);
        close();
    }
    m_engine = std::make_unique<PlaybackEngine>(m_mode, m_front, m_rear);
    m_engine->setInitialised(true);
    m_engine->setParserFlag(m_parserFlag);
    if (m_engine->build(path) == kLoadFailed) {
        close();
        return false;
    }
    return true;
}

void PlayerFront::close()
{
    m_engine.reset();
}

bool PlayerFront::seek(int64_t ms)
{
    if (!m_engine || !m_engine->pipeline())
        return true;
    return m_engine->seek(ms * 10000) >= 0;
}

bool PlayerFront::setRate(double rate)
{
    if (!m_engine)
        return false;
    const EngineState before = m_engine->state();
    m_engine->pause();
    m_engine->setRate(float(rate));
    if (before == EngineRunning)
        m_engine->run();
    return true;
}

bool PlayerFront::setVolume(int level)
{
    if (!m_engine)
        return false;
    int32_t value = VolumeValueForLevel(level);
    if (value == 0)
        value = -10000; // exactly 0 is sent as silence
    return m_engine->setVolumeValue(value) >= 0;
}

int64_t PlayerFront::durationMs()
{
    if (!m_engine)
        return 0;
    return m_engine->duration() / 10000;
}

} // namespace drivora
