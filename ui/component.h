// The object model of the program's classes: objects, owned components and notify events.
#pragma once

#include <functional>
#include <string>
#include <vector>

namespace lorvante {

class TObject {
 public:
  TObject() = default;
  TObject(const TObject&) = delete;
  TObject& operator=(const TObject&) = delete;
  virtual ~TObject() = default;
};

// An event bound to an object, taking the sender; an event without a handler is skipped.
using TNotifyEvent = std::function<void(TObject* Sender)>;

// A component is owned by another component, which frees it when it is freed itself. A component
// freed earlier leaves its owner's list.
class TComponent : public TObject {
 public:
  explicit TComponent(TComponent* AOwner);
  ~TComponent() override;

  TComponent* Owner() const { return owner_; }
  std::size_t ComponentCount() const { return components_.size(); }

  std::string Name;
  int Tag = 0;

 private:
  TComponent* owner_;
  std::vector<TComponent*> components_;
};

// A push button whose click can also be invoked in code.
class TButton : public TComponent {
 public:
  using TComponent::TComponent;
  void Click() {
    if (OnClick) OnClick(this);
  }
  TNotifyEvent OnClick;
};

}  // namespace lorvante
