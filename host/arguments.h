// Small helpers for the subcommands' command lines.
#pragma once

#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace fxhost
{

// Whole numbers and decimals, the whole text or nothing.
std::optional<long> parseInteger(std::string_view text);
std::optional<double> parseNumber(std::string_view text);

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
