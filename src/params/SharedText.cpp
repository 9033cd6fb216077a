#include "params/SharedText.h"

void TSharedText::Store(std::string_view text) {
  std::array<char, WordCount * 8> bytes{};
  const std::size_t length = text.size() < bytes.size() ? text.size() : bytes.size() - 1;
  if (length > 0)
    std::memcpy(bytes.data(), text.data(), length);

  const std::uint32_t index = FNextSlot.fetch_add(1, std::memory_order_relaxed) % FSlots.size();
  TSlot& slot = FSlots[index];
  slot.Sequence.fetch_add(1, std::memory_order_acquire);
  for (std::size_t w = 0; w < WordCount; ++w) {
    std::uint64_t word;
    std::memcpy(&word, bytes.data() + w * 8, 8);
    slot.Words[w].store(word, std::memory_order_relaxed);
  }
  slot.Sequence.fetch_add(1, std::memory_order_release);
  FCurrent.store(index, std::memory_order_release);
}

TShortText TSharedText::Load() const {
  std::array<char, WordCount * 8> bytes{};
  for (;;) {
    const TSlot& slot = FSlots[FCurrent.load(std::memory_order_acquire)];
    const std::uint32_t before = slot.Sequence.load(std::memory_order_acquire);
    if (before & 1u)
      continue;
    for (std::size_t w = 0; w < WordCount; ++w) {
      const std::uint64_t word = slot.Words[w].load(std::memory_order_relaxed);
      std::memcpy(bytes.data() + w * 8, &word, 8);
    }
    std::atomic_thread_fence(std::memory_order_acquire);
    if (slot.Sequence.load(std::memory_order_relaxed) == before)
      break;
  }
  bytes.back() = '\0';
  return TShortText(std::string_view(bytes.data()));
}
