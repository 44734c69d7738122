// Network (universal) names of local paths: the share a path lies on, named as the network
// names it. A path on a mounted SMB share has the form //server/share/rest, one on an NFS export
// the form server:/export/rest.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "platform/mount_table.h"

namespace lorvante {

// The universal name of the absolute local `path`, looked up in `mounts`. Nothing when the path
// is not absolute or does not lie on a mounted network share (cifs, smb3, nfs, nfs4) whose
// source names the share in the usual form.
std::optional<std::string> GetUniversalName(std::string_view path, const MountTable& mounts);

}  // namespace lorvante
