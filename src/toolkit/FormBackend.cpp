#include "toolkit/FormBackend.h"

std::unique_ptr<TFormBackend> CreateFormBackend(TFormBackendClient& client, void* parentWindow) {
  if (!parentWindow)
    return CreateOffscreenFormBackend();
  return CreatePlatformFormBackend(client, parentWindow);
}
