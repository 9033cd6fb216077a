#include "toolkit/FormBackend.h"

namespace {

// The back buffer is all there is: tests and screenshots read it directly.
class TOffscreenFormBackend final : public TFormBackend {
public:
  void SetBounds(const TRect&) override {}
  void Show() override {}
  void Hide() override {}
  void Present(const TBitmap&, const TRect&) override {}
  void ProcessEvents() override {}
};

} // namespace

std::unique_ptr<TFormBackend> CreateOffscreenFormBackend() {
  return std::make_unique<TOffscreenFormBackend>();
}
