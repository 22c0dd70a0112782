// A COM interface pointer released when it goes out of scope.
#pragma once

#include <unknwn.h>

namespace setup {

template <class T>
class Com {
  public:
    Com() = default;
    ~Com() {
        if (p_) p_->Release();
    }
    Com(const Com&) = delete;
    Com& operator=(const Com&) = delete;

    T* operator->() const { return p_; }
    explicit operator bool() const { return p_ != nullptr; }
    // For the out-parameter of CoCreateInstance and QueryInterface.
    void** Out() { return reinterpret_cast<void**>(&p_); }
    // For an out-parameter typed as the interface itself.
    T** Put() { return &p_; }

  private:
    T* p_ = nullptr;
};

}  // namespace setup
