// The bytes of a line's complete units, kept beside its text for the
// characters shown beside the units. Most lines are short (16 one-byte units
// is the usual screen): up to kInline bytes live in the object itself, so such
// a line costs no allocation and 24 bytes in all; longer lines move to the heap.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string_view>
#include <utility>

namespace tarnwick {

class LineBytes {
 public:
  static constexpr std::uint32_t kInline = 16;

  LineBytes() = default;
  LineBytes(const LineBytes&) = delete;
  LineBytes& operator=(const LineBytes&) = delete;
  LineBytes(LineBytes&& other) noexcept { *this = std::move(other); }
  LineBytes& operator=(LineBytes&& other) noexcept {
    if (this != &other) {
      Release();
      m_nSize = other.m_nSize;
      m_nCapacity = other.m_nCapacity;
      std::memcpy(&m_store, &other.m_store, sizeof m_store);
      other.m_nSize = 0;
      other.m_nCapacity = kInline;
    }
    return *this;
  }
  ~LineBytes() { Release(); }

  std::string_view View() const { return {Data(), m_nSize}; }
  std::size_t size() const { return m_nSize; }
  // Keeps a heap block for the next line, as the ring's strings do.
  void clear() { m_nSize = 0; }

  void append(const char* bytes, std::size_t count) {
    if (count == 0) return;
    // A line's bytes beyond 4 GiB are not kept: its text would not fit either.
    if (count > UINT32_MAX - m_nSize) return;
    const std::uint32_t size = m_nSize + static_cast<std::uint32_t>(count);
    if (size > m_nCapacity) Reserve(std::max<std::uint64_t>(size, 2ull * m_nCapacity));
    std::memcpy(Data() + m_nSize, bytes, count);
    m_nSize = size;
  }

 private:
  bool OnHeap() const { return m_nCapacity > kInline; }
  char* Data() { return OnHeap() ? m_store.heap : m_store.local; }
  const char* Data() const { return OnHeap() ? m_store.heap : m_store.local; }
  void Reserve(std::uint64_t wanted) {
    const std::uint32_t capacity =
        static_cast<std::uint32_t>(std::min<std::uint64_t>(wanted, UINT32_MAX));
    char* block = new char[capacity];
    std::memcpy(block, Data(), m_nSize);
    Release();
    m_store.heap = block;
    m_nCapacity = capacity;
  }
  void Release() {
    if (OnHeap()) delete[] m_store.heap;
    m_nCapacity = kInline;
  }

  union Store {
    char local[kInline];
    char* heap;
  } m_store{};
  std::uint32_t m_nSize = 0;
  std::uint32_t m_nCapacity = kInline;
};

}  // namespace tarnwick
