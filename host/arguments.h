// Small helpers for the subcommands' command lines.
#pragma once

#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <utility>

namespace fxhost
{

// Whole numbers and decimals, the whole text or nothing.
std::optional<long> parseInteger(std::string_view text);
std::optional<double> parseNumber(std::string_view text);

// The options render and bench share, with the command's name in front of
// their messages. Each answers the mistake, or nothing when the value is good.
// --set INDEX=VALUE (e.g. 2=0.75): INDEX from 0, VALUE a number.
std::optional<std::string> parseSetting(std::string_view command, const std::string& text,
                                        std::pair<long, float>& setting);
// --program N: a program number from 0.
std::optional<std::string> parseProgram(std::string_view command, const std::string& text,
                                        long& program);

// Walks a subcommand's arguments: options with their values, and the
// positional arguments in order.
class ArgumentReader
{
public:
    explicit ArgumentReader(std::span<char* const> args) : args_(args) {}

    bool done() const { return next_ >= args_.size(); }
    std::string_view peek() const { return args_[next_]; }
    std::string_view take() { return args_[next_++]; }
    // The value after an option; empty optional when the option is last.
    std::optional<std::string_view> value()
    {
        if (done())
            return std::nullopt;
        return take();
    }

private:
    std::span<char* const> args_;
    size_t next_ = 0;
};

} // namespace fxhost
