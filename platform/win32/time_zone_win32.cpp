#include <windows.h>

#include "platform/time_zone.h"

namespace mireo {
namespace {

SystemTime FromSystemTime(const SYSTEMTIME& t) {
    return SystemTime{t.wYear, t.wMonth, t.wDayOfWeek, t.wDay, t.wHour, t.wMinute, t.wSecond, t.wMilliseconds};
}

class CWin32TimeZone : public ITimeZoneSource {
public:
    bool Read(TimeZoneInfo& out, std::uint32_t& error) override {
        TIME_ZONE_INFORMATION tzi{};
        if (::GetTimeZoneInformation(&tzi) == TIME_ZONE_ID_INVALID) {
            error = ::GetLastError();
            out = TimeZoneInfo{};
            return false;
        }
        error = 0;
        out.bias = tzi.Bias;
        out.standardBias = tzi.StandardBias;
        out.daylightBias = tzi.DaylightBias;
        out.standardDate = FromSystemTime(tzi.StandardDate);
        out.daylightDate = FromSystemTime(tzi.DaylightDate);
        return true;
    }
};

}  // namespace

ITimeZoneSource& SystemTimeZone() {
    static CWin32TimeZone zone;
    return zone;
}

// Windows keeps the zone list itself.
long PrepareTimeZoneList(IRegistry&) { return 0; }

}  // namespace mireo
