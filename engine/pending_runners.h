#pragma once
// The runners of the actions whose pages and item work are still to come. Each run
// says so in the log and ends as a run that could not start.
namespace mireo {

class ILogger;

class CPendingRunner {
public:
    CPendingRunner(const char* source, const char* message) : m_source(source), m_message(message) {}
    virtual ~CPendingRunner() = default;
    // Logs that the action is not available yet; kRunCannotStart.
    int Run(ILogger& log);

private:
    const char* m_source;
    const char* m_message;
};

class CvCalImport : public CPendingRunner {
public:
    CvCalImport() : CPendingRunner("CvCalImport::Run", "Importing calendar events is not available yet") {}
};

class CvCalExport : public CPendingRunner {
public:
    explicit CvCalExport(int hostMajorVersion = 9)
        : CPendingRunner("CvCalExport::Run", "Exporting calendar events is not available yet"),
          m_hostMajorVersion(hostMajorVersion) {}
    void SetHostMajorVersion(int major) { m_hostMajorVersion = major; }

private:
    int m_hostMajorVersion;
};

}  // namespace mireo
