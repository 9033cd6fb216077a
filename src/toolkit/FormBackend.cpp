#include "toolkit/FormBackend.h"

std::unique_ptr<TFormBackend> CreateFormBackend(TForm& form, void* parentWindow) {
  if (!parentWindow)
    return CreateOffscreenFormBackend();
  return CreatePlatformFormBackend(form, parentWindow);
}
