// Counts the calls of the global operator new while a test watches, so that a
// test can show that a piece of code allocates nothing. Include it in exactly
// one source file of a test program: it replaces the global allocation
// functions of that program.
#pragma once

#include <cstddef>
#include <cstdlib>
#include <new>

namespace allocation_counter
{
inline bool watching = false;
inline int count = 0;

inline void* allocate(std::size_t n)
{
    if (watching)
        ++count;
    return std::malloc(n != 0 ? n : 1);
}

// Counts the allocations made while it is alive.
class Watch
{
public:
    Watch()
    {
        count = 0;
        watching = true;
    }
    ~Watch() { watching = false; }
    int allocations() const { return count; }
};
} // namespace allocation_counter

void* operator new(std::size_t n)
{
    if (void* p = allocation_counter::allocate(n))
        return p;
    throw std::bad_alloc();
}
void* operator new[](std::size_t n)
{
    if (void* p = allocation_counter::allocate(n))
        return p;
    throw std::bad_alloc();
}
void* operator new(std::size_t n, const std::nothrow_t&) noexcept
{
    return allocation_counter::allocate(n);
}
void* operator new[](std::size_t n, const std::nothrow_t&) noexcept
{
    return allocation_counter::allocate(n);
}
void operator delete(void* p) noexcept
{
    std::free(p);
}
void operator delete[](void* p) noexcept
{
    std::free(p);
}
void operator delete(void* p, std::size_t) noexcept
{
    std::free(p);
}
void operator delete[](void* p, std::size_t) noexcept
{
    std::free(p);
}
void operator delete(void* p, const std::nothrow_t&) noexcept
{
    std::free(p);
}
void operator delete[](void* p, const std::nothrow_t&) noexcept
{
    std::free(p);
}
