#include "ui/component.h"

#include <algorithm>

namespace lorvante {

TComponent::TComponent(TComponent* AOwner) : owner_(AOwner) {
  if (owner_ != nullptr) owner_->components_.push_back(this);
}

TComponent::~TComponent() {
  // Free the owned components, the newest first; each leaves this list as it goes.
  while (!components_.empty()) delete components_.back();
  if (owner_ != nullptr) {
    auto& list = owner_->components_;
    list.erase(std::remove(list.begin(), list.end(), this), list.end());
  }
}

}  // namespace lorvante
