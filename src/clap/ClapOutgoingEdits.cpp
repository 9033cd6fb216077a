#include "clap/ClapOutgoingEdits.h"

#include <bit>

void TClapOutgoingEdits::Begin(std::int32_t index) {
  if (!Valid(index))
    return;
  std::uint64_t word = FPending[index].load(std::memory_order_relaxed);
  std::uint64_t next;
  do {
    // A gesture whose end the host has not been told of yet simply goes on:
    // the host must never see a begin inside an open gesture.
    next = (word & kEndPending) ? word & ~kEndPending : word | kBeginPending;
  } while (!FPending[index].compare_exchange_weak(word, next, std::memory_order_relaxed));
}

void TClapOutgoingEdits::Perform(std::int32_t index, double normalized) {
  if (!Valid(index))
    return;
  // The instance keeps values as floats too, so nothing is lost here.
  const std::uint64_t bits = std::bit_cast<std::uint32_t>(static_cast<float>(normalized));
  std::uint64_t word = FPending[index].load(std::memory_order_relaxed);
  while (!FPending[index].compare_exchange_weak(word, (word & ~kValueBits) | bits | kValuePending,
                                                std::memory_order_relaxed)) {
  }
}

void TClapOutgoingEdits::End(std::int32_t index) {
  if (Valid(index))
    FPending[index].fetch_or(kEndPending, std::memory_order_relaxed);
}

float TClapOutgoingEdits::StoredValue(std::uint64_t word) {
  return std::bit_cast<float>(static_cast<std::uint32_t>(word & kValueBits));
}
