// The component boundary when the system refuses resources: a check short
// of descriptors or of memory still answers False with its reason, through
// the late-bound interface and the C++ interface alike; nothing is thrown
// to the host. Each case runs in a child process of its own (the limits
// and the failing allocator must not reach the other tests).
// The replaced allocator takes from malloc and gives back to free; GCC,
// seeing both inlined, would take that for a mismatch.
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <new>

#include "comvorlix/comvorlix.h"
#include "component/vorlix_com.h"

namespace {

// The n-th allocation on the arming thread fails (n counted from 0).
thread_local long allocations_until_failure = -1;
thread_local bool allocation_failed = false;

}  // namespace

void* operator new(std::size_t size) {
  if (allocations_until_failure == 0) {
    allocations_until_failure = -1;
    allocation_failed = true;
    throw std::bad_alloc();
  }
  if (allocations_until_failure > 0) --allocations_until_failure;
  if (void* p = std::malloc(size == 0 ? 1 : size)) return p;
  throw std::bad_alloc();
}
void operator delete(void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }

namespace comvorlix {
namespace {

// A switch that cannot be reached: the check gets as far as its session.
constexpr char16_t kParameter[] = u"#USR=admin#PWD=c2VjcmV0#PORT=1#DEV=CSCSW#CFG=RUN#";

// qo_docheck called late-bound, as a host calls it. Prints what the host got.
void CheckLateBound(const char* label) {
  auto c = std::make_shared<VorlixCom>();
  c->Put(VorlixCom::Property::kHostname, Variant::FromText(u"127.0.0.1"));
  c->Put(VorlixCom::Property::kTimeout, Variant::Int16(2));
  c->Put(VorlixCom::Property::kParameter, Variant::FromText(kParameter));
  std::vector<Variant> none;
  Variant answer;
  ErrorInfo error;
  const Status status = c->Invoke(kDispQoDocheck, InvokeKind::kMethod, none, &answer, &error);
  std::fprintf(stderr, "%s status=%d answer=%d result=[%s]\n", label, static_cast<int>(status),
               static_cast<int>(answer.ToInt16()), ToUtf8(c->Get(VorlixCom::Property::kResult).ToText()).c_str());
}

// Takes every descriptor a process may still open.
void ExhaustDescriptors() {
  const rlimit low{64, 64};
  if (setrlimit(RLIMIT_NOFILE, &low) != 0) std::abort();
  while (open("/dev/null", O_RDONLY | O_CLOEXEC) >= 0) {
  }
}

TEST(ResourceFailure, WithoutDescriptorsTheCheckAnswersFalseWithItsReason) {
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
  // The sanitizer runtimes probe memory through a pipe of their own; with no
  // descriptor left they take good objects for bad ones.
  GTEST_SKIP() << "not under a sanitizer: its runtime needs descriptors itself";
#endif
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  EXPECT_EXIT(
      {
        ExhaustDescriptors();
        CheckLateBound("late-bound");
        const CheckVerdict v = CheckConfiguration("127.0.0.1", 2, ToUtf8(kParameter));
        std::fprintf(stderr, "api ok=%d text=[%s] kept=%d\n", v.state == CheckState::kOk, v.text.c_str(),
                     v.parameter == ToUtf8(kParameter));
        std::exit(0);
      },
      ::testing::ExitedWithCode(0),
      "late-bound status=0 answer=0 result=\\[ERR: cannot get a system resource: eventfd: Too many open "
      "files\\(320\\)\\]\n"
      "api ok=0 text=\\[ERR: cannot get a system resource: eventfd: Too many open files\\(320\\)\\] kept=1\n");
}

TEST(ResourceFailure, AnAllocationFailingAnywhereOnTheHostsThreadGivesFalse) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  EXPECT_EXIT(
      {
        // Each allocation of the check on the host's thread fails in turn,
        // until a check runs through without meeting the failure.
        for (long n = 0;; ++n) {
          auto c = std::make_shared<VorlixCom>();
          c->Put(VorlixCom::Property::kHostname, Variant::FromText(u"127.0.0.1"));
          c->Put(VorlixCom::Property::kParameter, Variant::FromText(kParameter));
          std::vector<Variant> none;
          Variant answer;
          ErrorInfo error;
          allocation_failed = false;
          allocations_until_failure = n;
          const Status status = c->Invoke(kDispQoDocheck, InvokeKind::kMethod, none, &answer, &error);
          const bool met = allocation_failed;
          allocations_until_failure = -1;
          if (status != Status::kOk || answer.ToInt16() != 0) {
            std::fprintf(stderr, "allocation %ld: status %d\n", n, static_cast<int>(status));
            std::exit(1);
          }
          const std::string result = ToUtf8(c->Get(VorlixCom::Property::kResult).ToText());
          if (met && result.empty()) {
            std::fprintf(stderr, "allocation %ld: result [%s]\n", n, result.c_str());
            std::exit(1);
          }
          if (!met) {
            std::fprintf(stderr, "ran through after %ld allocations: [%s]\n", n, result.c_str());
            std::exit(0);
          }
        }
      },
      ::testing::ExitedWithCode(0), "ran through after [0-9]+ allocations: \\[SSH connection to 127.0.0.1:1");
}

}  // namespace
}  // namespace comvorlix
