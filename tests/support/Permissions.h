#pragma once
// Tests run as root on the build machines, and root writes where no user may. For as long as this
// lives, the calling thread (capabilities are per thread) is refused like any other user.
#include <linux/capability.h>
#include <sys/syscall.h>
#include <unistd.h>

class ScopedNoPermissionOverride {
 public:
  ScopedNoPermissionOverride() {
    if (geteuid() != 0 || syscall(SYS_capget, &header_, saved_) != 0) return;
    __user_cap_data_struct reduced[2] = {saved_[0], saved_[1]};
    reduced[0].effective &= ~(1u << CAP_DAC_OVERRIDE);
    active_ = syscall(SYS_capset, &header_, reduced) == 0;
  }
  ~ScopedNoPermissionOverride() {
    if (active_) syscall(SYS_capset, &header_, saved_);
  }
  ScopedNoPermissionOverride(const ScopedNoPermissionOverride&) = delete;
  ScopedNoPermissionOverride& operator=(const ScopedNoPermissionOverride&) = delete;

 private:
  __user_cap_header_struct header_{_LINUX_CAPABILITY_VERSION_3, 0};
  __user_cap_data_struct saved_[2]{};
  bool active_ = false;
};
