#pragma once
// Logger and help double for tests: keeps every log call and every help topic.
#include <string>
#include <string_view>
#include <vector>

#include "engine/logger.h"

namespace mireo {

struct LoggedMessage {
    std::string text;
    long code;
    std::string source;
    int level;
    int flags;
};

class CRecordingLogger : public ILogger, public IContextHelp {
public:
    void LogMsg(std::string_view text, long code, const char* source, int level, int flags) override {
        m_messages.push_back({std::string(text), code, source != nullptr ? source : "", level, flags});
    }
    int ShowContextHelp(const std::string& topic) override {
        m_topics.push_back(topic);
        return 0;
    }

    const std::vector<LoggedMessage>& Messages() const { return m_messages; }
    const std::vector<std::string>& Topics() const { return m_topics; }

    // Number of messages with exactly this text (and this source, when given).
    int Count(std::string_view text, std::string_view source = {}) const {
        int n = 0;
        for (const LoggedMessage& m : m_messages) {
            if (m.text == text && (source.empty() || m.source == source)) ++n;
        }
        return n;
    }
    bool Contains(std::string_view text, std::string_view source = {}) const { return Count(text, source) > 0; }

    void Clear() {
        m_messages.clear();
        m_topics.clear();
    }

private:
    std::vector<LoggedMessage> m_messages;
    std::vector<std::string> m_topics;
};

}  // namespace mireo
