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

// The local path that the universal `name` (//server/share/rest or server:/export/rest) is
// mounted at, looked up in `mounts`: the inverse of GetUniversalName. Nothing when no mounted
// share holds it, or when the local path is hidden by another mount. A universal name is never
// read as a local path: //server/share is not the folder /server/share.
std::optional<std::string> GetLocalName(std::string_view name, const MountTable& mounts);

}  // namespace lorvante
