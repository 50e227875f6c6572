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

std::optional<std::string> parseSetting(std::string_view command, const std::string& text,
                                        std::pair<long, float>& setting)
{
    const size_t equals = text.find('=');
    const auto index =
        equals == std::string::npos ? std::nullopt : parseInteger(text.substr(0, equals));
    const auto value =
        equals == std::string::npos ? std::nullopt : parseNumber(text.substr(equals + 1));
    if (!index || !value || *index < 0)
        return std::string(command) + ": --set wants INDEX=VALUE, e.g. --set 2=0.75; got '" + text +
               "'";
    setting = {*index, static_cast<float>(*value)};
    return std::nullopt;
}

std::optional<std::string> parseProgram(std::string_view command, const std::string& text,
                                        long& program)
{
    const auto n = parseInteger(text);
    if (!n || *n < 0)
        return std::string(command) + ": --program wants a program number; got '" + text + "'";
    program = *n;
    return std::nullopt;
}

} // namespace fxhost
