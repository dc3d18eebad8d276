#include "platform/folder_access.h"

#include <gtest/gtest.h>

namespace {

using namespace VendraPlatform;
namespace R = AccessRight;

constexpr uint32_t kFull = 0x1F01FF;          // full control, as stored on a folder
constexpr uint32_t kReadExecute = 0x1200A9;   // read and execute, as stored
constexpr uint32_t kGenericFullControl = R::kGenericAll | 0x1F0000;  // generic all + standard rights

AccessEntry Allow(Account who, uint32_t rights, bool inherited = false) {
  return {who, true, rights, inherited};
}
AccessEntry Deny(Account who, uint32_t rights) { return {who, false, rights, false}; }

// What the elevated installer makes now: owned by the Administrators,
// nothing for its own user.
std::vector<AccessEntry> InstallersList(bool inherited = false) {
  return {Allow(Account::System, kFull, inherited), Allow(Account::Administrators, kFull, inherited),
          Allow(Account::Users, kReadExecute, inherited)};
}

std::vector<AccessEntry> With(std::vector<AccessEntry> list, AccessEntry extra) {
  list.push_back(extra);
  return list;
}

// Who owns a folder and which entries it carries decide whether a program
// may start or place programs there. The account kinds are as the asking
// program sees them: the same folder is "the installing account's" to the
// elevated run and "the current user's" to that user's own run.
TEST(FolderAccess, OnlyTheAdministratorsAndTheAskingUserMayChangeIt) {
  struct Case {
    const char* what;
    FolderAccess access;
    AccessVerdict verdict;
    size_t entry = 0;
  } cases[] = {
      {"made by the elevated installer", {Account::Administrators, true, InstallersList()},
       AccessVerdict::Trusted},
      {"the same list inherited from a protected data folder",
       {Account::Administrators, true, InstallersList(true)}, AccessVerdict::Trusted},
      {"owned by SYSTEM", {Account::System, true, InstallersList()}, AccessVerdict::Trusted},
      {"a protected list with no entries (only the owner may rewrite it)",
       {Account::Administrators, true, {}}, AccessVerdict::Trusted},
      {"no access list at all", {Account::Administrators, false, {}}, AccessVerdict::NoList},
      {"utils inheriting \"Everyone: full control\" from the data folder",
       {Account::Administrators, true,
        With(InstallersList(true), Allow(Account::Everyone, kGenericFullControl, true))},
       AccessVerdict::OpenToOthers, 3},
      {"made by an earlier installer: full control for the installing account, seen elevated",
       {Account::Administrators, true, With(InstallersList(), Allow(Account::InstallingAccount, kFull))},
       AccessVerdict::OpenToOthers, 3},
      {"the same folder seen by another user's program",
       {Account::Administrators, true, With(InstallersList(), Allow(Account::OtherUser, kFull))},
       AccessVerdict::OpenToOthers, 3},
      {"the same folder seen by that account's own program without rights",
       {Account::Administrators, true, With(InstallersList(), Allow(Account::CurrentUser, kFull))},
       AccessVerdict::Trusted},
      {"a standard user's folder, seen by anyone else",
       {Account::OtherUser, true, With(InstallersList(), Allow(Account::OtherUser, kFull))},
       AccessVerdict::OwnerNotTrusted},
      {"a standard user's folder, seen by that user",
       {Account::CurrentUser, true, With(InstallersList(), Allow(Account::CurrentUser, kFull))},
       AccessVerdict::Trusted},
      {"owned by the installing account, seen elevated",
       {Account::InstallingAccount, true, InstallersList()}, AccessVerdict::OwnerNotTrusted},
      {"owned by the Users group", {Account::Users, true, InstallersList()},
       AccessVerdict::OwnerNotTrusted},
      {"a deny entry does not make up for an allowing one",
       {Account::Administrators, true,
        {Deny(Account::Everyone, R::kChanging), Allow(Account::Users, R::kWriteData)}},
       AccessVerdict::OpenToOthers, 1},
      {"a deny entry alone takes nothing away from the rule",
       {Account::Administrators, true, With(InstallersList(), Deny(Account::Users, kFull))},
       AccessVerdict::Trusted},
      {"creator owner: whoever may add something gets it",
       {Account::Administrators, true,
        With(InstallersList(), Allow(Account::CreatorOwner, R::kGenericAll, true))},
       AccessVerdict::Trusted},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    const AccessJudgement judged = JudgeFolderAccess(c.access);
    EXPECT_EQ(judged.verdict, c.verdict);
    if (c.verdict == AccessVerdict::OpenToOthers) {
      EXPECT_EQ(judged.entry, c.entry);
    }
  }
}

// Each single right that lets another account add, replace or remove what
// the folder holds, or take it over, is enough; reading, listing and
// starting programs are not.
TEST(FolderAccess, EveryChangingRightCounts) {
  const uint32_t changing[] = {R::kWriteData,  R::kAppendData, R::kWriteEa,    R::kDeleteChild,
                               R::kWriteAttributes, R::kDelete, R::kWriteDac, R::kWriteOwner,
                               R::kGenericAll, R::kGenericWrite};
  const uint32_t harmless[] = {R::kReadData,   R::kReadEa,      R::kExecute,     R::kReadAttributes,
                               R::kReadControl, R::kSynchronize, R::kGenericRead, R::kGenericExecute,
                               kReadExecute};
  for (const Account who : {Account::Users, Account::Everyone, Account::InstallingAccount,
                            Account::OtherUser}) {
    for (const uint32_t right : changing) {
      SCOPED_TRACE(right);
      EXPECT_EQ(JudgeFolderAccess({Account::Administrators, true, {Allow(who, right)}}).verdict,
                AccessVerdict::OpenToOthers);
    }
    for (const uint32_t right : harmless) {
      SCOPED_TRACE(right);
      EXPECT_EQ(JudgeFolderAccess({Account::Administrators, true, {Allow(who, right)}}).verdict,
                AccessVerdict::Trusted);
    }
  }
}

}  // namespace
