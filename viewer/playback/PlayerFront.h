#pragma once

#include "PlaybackEngine.h"

#include <QString>

#include <memory>

namespace drivora {

// The main window's player: owns the engine of the open recording.
class PlayerFront {
public:
    PlayerFront();
    ~PlayerFront();
    void init(IVideoWindow *front, IVideoWindow *rear);
    bool open(const QString &path);
    void close();
    bool seek(int64_t ms);
    bool setRate(double rate);
    bool setVolume(int level);
    int64_t durationMs();
    PlaybackEngine *engine() { return m_engine.get(); }
    void setParserFlag(bool on) { m_parserFlag = on; }
    bool parserFlag() const { return m_parserFlag; }
    int mode() const { return m_mode; }

private:
    int m_mode = 0;
    IVideoWindow *m_front = nullptr;
    IVideoWindow *m_rear = nullptr;
    std::unique_ptr<PlaybackEngine> m_engine;
    bool m_parserFlag = true;
};

} // namespace drivora
