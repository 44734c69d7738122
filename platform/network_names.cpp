#include "platform/network_names.h"

namespace lorvante {
namespace {

enum class ShareKind { kNone, kSmb, kNfs };

ShareKind KindOf(std::string_view fs_type) {
  if (fs_type == "cifs" || fs_type == "smb3") return ShareKind::kSmb;
  if (fs_type == "nfs" || fs_type == "nfs4") return ShareKind::kNfs;
  return ShareKind::kNone;
}

// "//server/share..." with a non-empty server and share.
bool IsSmbSource(std::string_view source) {
  if (source.size() < 5 || source.substr(0, 2) != "//") return false;
  const std::size_t slash = source.find('/', 2);
  return slash != std::string_view::npos && slash > 2 && slash + 1 < source.size() &&
         source[slash + 1] != '/';
}

// "server:/export..." with a non-empty server.
bool IsNfsSource(std::string_view source) {
  const std::size_t colon = source.find(":/");
  return colon != std::string_view::npos && colon > 0 && source.front() != '/';
}

bool EndsWith(std::string_view text, std::string_view tail) {
  return text.size() >= tail.size() && text.substr(text.size() - tail.size()) == tail;
}

// `name` less its trailing slashes, the "//" of a bare network name and a root's slash kept.
std::string_view TrimTrailingSlashes(std::string_view name) {
  while (name.size() > 2 && name.back() == '/' && name[name.size() - 2] != ':') {
    name.remove_suffix(1);
  }
  return name;
}

}  // namespace

std::optional<std::string> GetUniversalName(std::string_view path, const MountTable& mounts) {
  if (path.empty() || path.front() != '/') return std::nullopt;
  const MountEntry* mount = mounts.Find(path);
  if (mount == nullptr) return std::nullopt;
  const ShareKind kind = KindOf(mount->fs_type);
  if (kind == ShareKind::kNone) return std::nullopt;
  std::string_view source = mount->source;
  if (kind == ShareKind::kSmb ? !IsSmbSource(source) : !IsNfsSource(source)) return std::nullopt;
  while (source.size() > 1 && source.back() == '/' && source[source.size() - 2] != ':') {
    source.remove_suffix(1);
  }

  // A mount of a folder inside the share (a bind mount, a sub-folder mount) names that folder
  // in its root; the source names it already when the share was mounted with that prefix.
  std::string suffix;
  const std::string_view root = mount->root;
  if (root.size() > 1 && !EndsWith(source, root)) suffix = root;
  if (mount->mount_point != "/") path.remove_prefix(mount->mount_point.size());
  suffix += path;
  while (suffix.size() > 1 && suffix.back() == '/') suffix.pop_back();
  if (suffix == "/") suffix.clear();

  std::string name(source);
  if (!suffix.empty() && name.back() == '/') name.pop_back();
  name += suffix;
  return name;
}

std::optional<std::string> GetLocalName(std::string_view name, const MountTable& mounts) {
  name = TrimTrailingSlashes(name);
  if (name.empty()) return std::nullopt;
  std::optional<std::string> best;
  std::size_t best_share = 0;
  for (const MountEntry& mount : mounts.entries()) {
    // What the network calls this mount point; the longest one that begins `name` wins.
    const std::optional<std::string> share = GetUniversalName(mount.mount_point, mounts);
    if (!share || share->size() < best_share || name.substr(0, share->size()) != *share) continue;
    std::string_view rest = name.substr(share->size());
    if (!rest.empty() && rest.front() != '/' && share->back() != '/') continue;  // //srv/sharex
    std::string local = mount.mount_point;
    if (!rest.empty() && local.back() == '/' && rest.front() == '/') rest.remove_prefix(1);
    if (!rest.empty() && local.back() != '/' && rest.front() != '/') local += '/';
    local += rest;
    // A mount further down may hide the folder: the local path must carry the name asked for.
    if (GetUniversalName(local, mounts) != name) continue;
    best = std::move(local);
    best_share = share->size();
  }
  return best;
}

}  // namespace lorvante
