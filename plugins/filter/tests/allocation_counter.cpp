#include "allocation_counter.h"

#include <cstddef>
#include <cstdlib>
#include <new>

namespace
{

bool watching = false;
int count = 0;

void* allocate(std::size_t n)
{
    if (watching)
        ++count;
    return std::malloc(n != 0 ? n : 1);
}

} // namespace

namespace allocation_counter
{

Watch::Watch()
{
    count = 0;
    watching = true;
}

Watch::~Watch()
{
    watching = false;
}

int Watch::allocations() const
{
    return count;
}

} // namespace allocation_counter

void* operator new(std::size_t n)
{
    if (void* p = allocate(n))
        return p;
    throw std::bad_alloc();
}
void* operator new[](std::size_t n)
{
    if (void* p = allocate(n))
        return p;
    throw std::bad_alloc();
}
void* operator new(std::size_t n, const std::nothrow_t&) noexcept
{
    return allocate(n);
}
void* operator new[](std::size_t n, const std::nothrow_t&) noexcept
{
    return allocate(n);
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
