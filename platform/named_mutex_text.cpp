#include "common/text/format.h"
#include "platform/named_mutex.h"

namespace VendraPlatform {

std::u16string NamedMutex::HeldText(uint32_t claimedHolder) const {
  Holder holder = CurrentHolder();
  if (holder.processId == 0) holder.processId = claimedHolder;
  if (holder.processId == 0)
    return VendraText::Format(u"The lock %ls is held by another process.", location_);
  if (holder.user.empty())
    return VendraText::Format(u"The lock %ls is held by process %u.", location_,
                              holder.processId);
  return VendraText::Format(u"The lock %ls is held by process %u of user %ls.", location_,
                            holder.processId, holder.user);
}

std::u16string NamedMutex::UnopenedText(uint32_t error) const {
  return VendraText::Format(
      u"The lock %ls cannot be opened (system error %u). Whatever is in its place is no lock "
      u"of ours: an administrator may remove it, then run again.",
      location_, error);
}

}  // namespace VendraPlatform
