#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

// Who may change a folder below the shared data folder, decided from its
// owner and access list alone. Portable so that the rule is one function both
// systems' tests can run; the Windows layer reads a folder's real owner and
// list into these terms, as seen by the program that asks.
namespace VendraPlatform {

enum class Account {
  System,
  Administrators,
  // Every user of the machine: Users, Authenticated Users, Interactive.
  Users,
  Everyone,
  // The user a program without administrator rights runs as.
  CurrentUser,
  // The user an elevated program runs as. That user's programs without
  // administrator rights run as the same account, so what it may change is
  // not the administrators' own.
  InstallingAccount,
  // Stands for whoever creates something inside (an inheritable entry).
  CreatorOwner,
  // Any other user or group.
  OtherUser,
};

// Access right bits, with the values Windows gives them.
namespace AccessRight {
constexpr uint32_t kReadData = 0x1;
constexpr uint32_t kWriteData = 0x2;       // add a file, in a folder
constexpr uint32_t kAppendData = 0x4;      // add a sub-folder, in a folder
constexpr uint32_t kReadEa = 0x8;
constexpr uint32_t kWriteEa = 0x10;
constexpr uint32_t kExecute = 0x20;        // traverse, in a folder
constexpr uint32_t kDeleteChild = 0x40;
constexpr uint32_t kReadAttributes = 0x80;
constexpr uint32_t kWriteAttributes = 0x100;
constexpr uint32_t kDelete = 0x10000;
constexpr uint32_t kReadControl = 0x20000;
constexpr uint32_t kWriteDac = 0x40000;
constexpr uint32_t kWriteOwner = 0x80000;
constexpr uint32_t kSynchronize = 0x100000;
constexpr uint32_t kGenericAll = 0x10000000;
constexpr uint32_t kGenericExecute = 0x20000000;
constexpr uint32_t kGenericWrite = 0x40000000;
constexpr uint32_t kGenericRead = 0x80000000;
// Rights that let someone add, replace or remove what the folder holds, or
// take the folder over.
constexpr uint32_t kChanging = kWriteData | kAppendData | kWriteEa | kDeleteChild |
                               kWriteAttributes | kDelete | kWriteDac | kWriteOwner |
                               kGenericAll | kGenericWrite;
}  // namespace AccessRight

struct AccessEntry {
  Account account = Account::OtherUser;
  // False for an entry that denies the rights.
  bool allow = true;
  uint32_t rights = 0;
  // Came from the folder above (only changes the wording of a refusal).
  bool inherited = false;
};

struct FolderAccess {
  Account owner = Account::OtherUser;
  // False when the folder has no access list at all: everyone may do
  // anything with it.
  bool hasList = true;
  // Every entry, whether it applies to the folder itself or only to what is
  // made inside: what is placed there later must be protected as well.
  std::vector<AccessEntry> entries;
};

enum class AccessVerdict {
  Trusted,
  // The owner may rewrite the list whatever it says.
  OwnerNotTrusted,
  NoList,
  // entries[entry] lets an account that is not trusted change the folder.
  OpenToOthers,
};

struct AccessJudgement {
  AccessVerdict verdict = AccessVerdict::Trusted;
  size_t entry = 0;
};

// True for the owners a folder programs are started from may have: the
// system, the administrators, and a program's own user when it runs without
// administrator rights (its own folder can only hurt itself).
bool MayOwnProgramFolder(Account owner);

// Trusted when the owner may own it and no allowing entry gives a changing
// right to anyone but those owners (and the creator of what is made inside,
// who must have been able to make it). Deny entries are not counted in its
// favour: a deny entry for a group does not reach every account that another
// entry lets in, so the folder is judged as if they were absent.
AccessJudgement JudgeFolderAccess(const FolderAccess& access);

}  // namespace VendraPlatform
