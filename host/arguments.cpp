#include "arguments.h"

#include <cerrno>
#include <cmath>
#include <cstdlib>

namespace fxhost
{

std::optional<long> parseInteger(std::string_view text)
{
    const std::string s(text);
    if (s.empty())
        return std::nullopt;
    char* end = nullptr;
    errno = 0;
    const long value = std::strtol(s.c_str(), &end, 10);
    if (errno != 0 || *end != 0)
        return std::nullopt;
    return value;
}

std::optional<double> parseNumber(std::string_view text)
{
    const std::string s(text);
    if (s.empty())
        return std::nullopt;
    char* end = nullptr;
    errno = 0;
    const double value = std::strtod(s.c_str(), &end);
    if (errno != 0 || *end != 0 || !std::isfinite(value))
        return std::nullopt;
    return value;
}

} // namespace fxhost
