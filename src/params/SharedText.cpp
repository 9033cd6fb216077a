#include "params/SharedText.h"

void TSharedText::Store(std::string_view text) {
  std::array<char, WordCount * 8> bytes{};
  const std::size_t length = text.size() < bytes.size() ? text.size() : bytes.size() - 1;
  if (length > 0)
    std::memcpy(bytes.data(), text.data(), length);

  // Claim a slot no reader is pointed at and no other writer holds: the
  // sequence goes from even to odd only for the writer that wins it.
  std::uint32_t index;
  for (;;) {
    index = FNextSlot.fetch_add(1, std::memory_order_relaxed) % FSlots.size();
    if (index == FCurrent.load(std::memory_order_relaxed))
      continue;
    std::uint32_t sequence = FSlots[index].Sequence.load(std::memory_order_relaxed);
    if ((sequence & 1u) == 0 && FSlots[index].Sequence.compare_exchange_strong(
                                    sequence, sequence + 1, std::memory_order_acquire))
      break;
  }
  TSlot& slot = FSlots[index];
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
    // Acquire loads keep the second look at the sequence after the text.
    for (std::size_t w = 0; w < WordCount; ++w) {
      const std::uint64_t word = slot.Words[w].load(std::memory_order_acquire);
      std::memcpy(bytes.data() + w * 8, &word, 8);
    }
    if (slot.Sequence.load(std::memory_order_relaxed) == before)
      break;
  }
  bytes.back() = '\0';
  return TShortText(std::string_view(bytes.data()));
}
