// The audio thread's side of Grizzbox2 (processReplacing, and setParameter as
// hosts call it between blocks) allocates nothing and makes no system call,
// so it takes no contended lock and does no I/O either.
#include "grizzbox2_host.h"

#include <gtest/gtest.h>

#include <linux/audit.h>
#include <linux/filter.h>
#include <linux/seccomp.h>
#include <sys/prctl.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <cmath>
#include <cstddef>
#include <cstdlib>
#include <vector>

#if defined(__has_feature)
#if __has_feature(address_sanitizer)
#define GRIZZBOX2_TEST_ASAN 1
#endif
#endif
#if defined(__SANITIZE_ADDRESS__)
#define GRIZZBOX2_TEST_ASAN 1
#endif

using namespace grizzbox2_test;

// Counting every heap allocation in the process, the plug-in's included.
namespace
{
std::atomic<bool> gWatching{false};
std::atomic<long> gAllocations{0};

void countAllocation()
{
    if (gWatching.load(std::memory_order_relaxed))
        gAllocations.fetch_add(1, std::memory_order_relaxed);
}
} // namespace

#ifdef GRIZZBOX2_TEST_ASAN
#include <sanitizer/allocator_interface.h>

namespace
{
void mallocHook(const volatile void*, size_t)
{
    countAllocation();
}
void freeHook(const volatile void*) {}

// The sanitizer's allocator serves malloc and operator new alike.
void installCounter()
{
    static const bool installed =
        __sanitizer_install_malloc_and_free_hooks(mallocHook, freeHook) != 0;
    ASSERT_TRUE(installed);
}
} // namespace
#else
// Without the sanitizer the C library's allocation functions are replaced by
// counting ones; operator new of the C++ library allocates through them.
extern "C"
{
    void* __libc_malloc(size_t);
    void* __libc_calloc(size_t, size_t);
    void* __libc_realloc(void*, size_t);
    void* __libc_memalign(size_t, size_t);

    void* malloc(size_t n)
    {
        countAllocation();
        return __libc_malloc(n);
    }
    void* calloc(size_t n, size_t size)
    {
        countAllocation();
        return __libc_calloc(n, size);
    }
    void* realloc(void* p, size_t n)
    {
        countAllocation();
        return __libc_realloc(p, n);
    }
    void* memalign(size_t alignment, size_t n)
    {
        countAllocation();
        return __libc_memalign(alignment, n);
    }
    void* aligned_alloc(size_t alignment, size_t n)
    {
        countAllocation();
        return __libc_memalign(alignment, n);
    }
    int posix_memalign(void** p, size_t alignment, size_t n)
    {
        countAllocation();
        *p = __libc_memalign(alignment, n);
        return *p ? 0 : 12; // ENOMEM
    }
}

namespace
{
void installCounter() {}
} // namespace
#endif

namespace
{

// Many blocks of odd and usual sizes, with every parameter moved between
// blocks the way automation does, the stomp switch included. The buffers are
// allocated up front, as a host does.
class Session
{
public:
    Session()
        : inL(sine(220.0, 0.7, 44100.0, kMaxBlock)), inR(sine(330.0, 0.2, 44100.0, kMaxBlock)),
          outL(kMaxBlock), outR(kMaxBlock)
    {
    }

    // false if the output went non-finite or silent.
    bool run(Plugin& plugin, int blocks)
    {
        float* inputs[2] = {inL.data(), inR.data()};
        float* outputs[2] = {outL.data(), outR.data()};
        static constexpr VstInt32 kSizes[] = {512, 1, 17, 511, 1024, 64};
        AEffect* e = plugin.record();
        double energy = 0.0;
        bool finite = true;
        for (int b = 0; b < blocks; ++b)
        {
            const float position = static_cast<float>(b % 101) / 100.0f;
            e->setParameter(e, b % 4, position);
            e->setParameter(e, (b + 1) % 4, 1.0f - position);
            if (b % 3 == 0)
                e->setParameter(e, 3, 1.0f); // mostly stomped
            (void)e->getParameter(e, b % 4);
            const VstInt32 frames = kSizes[b % 6];
            e->processReplacing(e, inputs, outputs, frames);
            for (size_t i = 0; i < static_cast<size_t>(frames); ++i)
            {
                finite = finite && std::isfinite(outL[i]) && std::isfinite(outR[i]);
                energy += static_cast<double>(outL[i]) * outL[i];
            }
        }
        return finite && energy > 0.0;
    }

private:
    static constexpr int kMaxBlock = 1024;
    std::vector<float> inL, inR, outL, outR;
};

// Allows exit and exit_group; any other system call kills the process.
bool forbidSystemCalls()
{
    sock_filter program[] = {
        BPF_STMT(BPF_LD | BPF_W | BPF_ABS, offsetof(seccomp_data, arch)),
        BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, AUDIT_ARCH_X86_64, 1, 0),
        BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_KILL_PROCESS),
        BPF_STMT(BPF_LD | BPF_W | BPF_ABS, offsetof(seccomp_data, nr)),
        BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, SYS_exit_group, 2, 0),
        BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, SYS_exit, 1, 0),
        BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_KILL_PROCESS),
        BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_ALLOW),
    };
    sock_fprog filter = {static_cast<unsigned short>(sizeof program / sizeof program[0]), program};
    return prctl(PR_SET_NO_NEW_PRIVS, 1, 0, 0, 0) == 0 &&
           syscall(SYS_seccomp, SECCOMP_SET_MODE_FILTER, 0, &filter) == 0;
}

// Runs body in a child process under forbidSystemCalls; the child's wait status.
template <typename Body> int statusOfChild(Body body)
{
    fflush(nullptr);
    const pid_t child = fork();
    if (child == 0)
    {
        Plugin plugin;
        Session session;
        const bool armed = forbidSystemCalls();
        const int code = armed ? body(plugin, session) : 99;
        syscall(SYS_exit_group, code);
    }
    int status = 0;
    EXPECT_EQ(waitpid(child, &status, 0), child);
    return status;
}

std::string describe(int status)
{
    if (WIFEXITED(status))
        return "exit code " + std::to_string(WEXITSTATUS(status));
    if (WIFSIGNALED(status))
        return "killed by signal " + std::to_string(WTERMSIG(status));
    return "status " + std::to_string(status);
}

} // namespace

TEST(Grizzbox2RealTime, ProcessingAndParameterChangesAllocateNothing)
{
    installCounter();
    for (const Pins pins : {Pins{true, true}, Pins{false, true}, Pins{true, false}})
    {
        Plugin plugin(pins);
        Session session;
        gAllocations = 0;
        gWatching = true;
        const bool sound = session.run(plugin, 3000);
        gWatching = false;
        EXPECT_TRUE(sound);
        EXPECT_EQ(gAllocations.load(), 0);
    }

    // The counter itself sees an allocation (through a pointer the compiler
    // cannot see through, so that the call stays).
    void* (*volatile allocate)(size_t) = std::malloc;
    gAllocations = 0;
    gWatching = true;
    void* p = allocate(24);
    gWatching = false;
    std::free(p);
    EXPECT_EQ(gAllocations.load(), 1);
}

TEST(Grizzbox2RealTime, ProcessingAndParameterChangesMakeNoSystemCall)
{
    const int status = statusOfChild([](Plugin& plugin, Session& session)
                                     { return session.run(plugin, 3000) ? 0 : 3; });
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << describe(status);

    // The filter is live: a single getpid kills the child.
    const int control = statusOfChild(
        [](Plugin&, Session&) { return static_cast<int>(syscall(SYS_getpid)) > 0 ? 0 : 4; });
    EXPECT_TRUE(WIFSIGNALED(control) && WTERMSIG(control) == SIGSYS) << describe(control);
}
