// Counts the calls of the global operator new while a test watches, so that a
// test can show that a piece of code allocates nothing. A test program that
// uses it links allocation_counter.cpp, which replaces the program's global
// allocation functions.
#pragma once

namespace allocation_counter
{

// Counts the allocations made while it is alive.
class Watch
{
public:
    Watch();
    ~Watch();
    Watch(const Watch&) = delete;
    Watch& operator=(const Watch&) = delete;

    int allocations() const;
};

} // namespace allocation_counter
