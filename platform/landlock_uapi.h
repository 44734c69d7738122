// The kernel's Landlock interface, as far as the program uses it. The values are the kernel's
// stable interface; they are written here because the system's headers may be older than the
// kernel the program runs on (Debian 12's stop at the second version of the interface). Which
// rights a kernel knows is asked at run time (kAbiVersion) before any is handled.
#pragma once

#include <sys/syscall.h>

#include <cstdint>

namespace lorvante::landlock {

#ifndef __NR_landlock_create_ruleset
inline constexpr long kCreateRulesetCall = 444;
inline constexpr long kAddRuleCall = 445;
inline constexpr long kRestrictSelfCall = 446;
#else
inline constexpr long kCreateRulesetCall = __NR_landlock_create_ruleset;
inline constexpr long kAddRuleCall = __NR_landlock_add_rule;
inline constexpr long kRestrictSelfCall = __NR_landlock_restrict_self;
#endif

// landlock_create_ruleset(NULL, 0, kAbiVersion) returns the version of the interface.
inline constexpr std::uint32_t kAbiVersion = 1u << 0;

// struct landlock_ruleset_attr; the kernel takes the size given and reads that much.
struct RulesetAttr {
  std::uint64_t handled_access_fs = 0;
  std::uint64_t handled_access_net = 0;  // version 4 on
  std::uint64_t scoped = 0;              // version 6 on
};
// Sizes of the record a kernel of each version knows.
inline constexpr std::size_t kRulesetAttrSizeV1 = 8;
inline constexpr std::size_t kRulesetAttrSizeV4 = 16;
inline constexpr std::size_t kRulesetAttrSizeV6 = 24;

// enum landlock_rule_type
inline constexpr int kRulePathBeneath = 1;

// struct landlock_path_beneath_attr (packed)
struct __attribute__((packed)) PathBeneathAttr {
  std::uint64_t allowed_access;
  std::int32_t parent_fd;
};

// LANDLOCK_ACCESS_FS_*: the version that brought each.
inline constexpr std::uint64_t kFsExecute = 1ull << 0;
inline constexpr std::uint64_t kFsWriteFile = 1ull << 1;
inline constexpr std::uint64_t kFsReadFile = 1ull << 2;
inline constexpr std::uint64_t kFsReadDir = 1ull << 3;
inline constexpr std::uint64_t kFsRemoveDir = 1ull << 4;
inline constexpr std::uint64_t kFsRemoveFile = 1ull << 5;
inline constexpr std::uint64_t kFsMakeChar = 1ull << 6;
inline constexpr std::uint64_t kFsMakeDir = 1ull << 7;
inline constexpr std::uint64_t kFsMakeReg = 1ull << 8;
inline constexpr std::uint64_t kFsMakeSock = 1ull << 9;
inline constexpr std::uint64_t kFsMakeFifo = 1ull << 10;
inline constexpr std::uint64_t kFsMakeBlock = 1ull << 11;
inline constexpr std::uint64_t kFsMakeSym = 1ull << 12;
inline constexpr std::uint64_t kFsRefer = 1ull << 13;     // version 2
inline constexpr std::uint64_t kFsTruncate = 1ull << 14;  // version 3
inline constexpr std::uint64_t kFsIoctlDev = 1ull << 15;  // version 5
inline constexpr std::uint64_t kFsRightsV1 = (1ull << 13) - 1;

// LANDLOCK_ACCESS_NET_*, version 4.
inline constexpr std::uint64_t kNetBindTcp = 1ull << 0;
inline constexpr std::uint64_t kNetConnectTcp = 1ull << 1;

// LANDLOCK_SCOPE_*, version 6.
inline constexpr std::uint64_t kScopeAbstractUnixSocket = 1ull << 0;
inline constexpr std::uint64_t kScopeSignal = 1ull << 1;

}  // namespace lorvante::landlock
