#include "platform/folder_access.h"

namespace VendraPlatform {

bool MayOwnProgramFolder(Account owner) {
  return owner == Account::System || owner == Account::Administrators ||
         owner == Account::CurrentUser;
}

AccessJudgement JudgeFolderAccess(const FolderAccess& access) {
  if (!MayOwnProgramFolder(access.owner)) return {AccessVerdict::OwnerNotTrusted, 0};
  if (!access.hasList) return {AccessVerdict::NoList, 0};
  for (size_t i = 0; i < access.entries.size(); ++i) {
    const AccessEntry& entry = access.entries[i];
    if (!entry.allow || !(entry.rights & AccessRight::kChanging)) continue;
    if (MayOwnProgramFolder(entry.account) || entry.account == Account::CreatorOwner) continue;
    return {AccessVerdict::OpenToOthers, i};
  }
  return {AccessVerdict::Trusted, 0};
}

}  // namespace VendraPlatform
