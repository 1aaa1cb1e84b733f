#pragma once

#include <cstdlib>
#include <ctime>
#include <optional>
#include <string>

namespace quillon::test {

// Sets the local time zone for the test and restores the one before.
class ZoneScope
{
public:
    explicit ZoneScope(const char* zone)
    {
        if (const char* before = std::getenv("TZ"))
            m_before = before;
        ::setenv("TZ", zone, 1);
        ::tzset();
    }
    ~ZoneScope()
    {
        if (m_before)
            ::setenv("TZ", m_before->c_str(), 1);
        else
            ::unsetenv("TZ");
        ::tzset();
    }
    ZoneScope(const ZoneScope&) = delete;
    ZoneScope& operator=(const ZoneScope&) = delete;

private:
    std::optional<std::string> m_before;
};

} // namespace quillon::test
