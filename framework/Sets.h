#pragma once

#include <cstdint>
#include <initializer_list>
#include <type_traits>

// A small set of enumeration elements held in an unsigned integer: the element with
// ordinal n is bit n. Ordinals must be below the bit width of Bits.
template <typename E, typename Bits>
class TSet {
  static_assert(std::is_enum_v<E>, "TSet holds enumeration elements");
  static_assert(std::is_unsigned_v<Bits>, "TSet stores its bits in an unsigned integer");

public:
  constexpr TSet() = default;
  constexpr TSet(std::initializer_list<E> elements) {
    for (E element : elements) m_Bits = static_cast<Bits>(m_Bits | Bit(element));
  }

  static constexpr TSet FromValue(Bits value) {
    TSet set;
    set.m_Bits = value;
    return set;
  }

  constexpr bool Contains(E element) const { return (m_Bits & Bit(element)) != 0; }
  constexpr bool Empty() const { return m_Bits == 0; }
  constexpr Bits Value() const { return m_Bits; }

  constexpr TSet& Include(E element) {
    m_Bits = static_cast<Bits>(m_Bits | Bit(element));
    return *this;
  }
  constexpr TSet& Exclude(E element) {
    m_Bits = static_cast<Bits>(m_Bits & ~Bit(element));
    return *this;
  }

  constexpr TSet operator+(TSet other) const { return FromValue(static_cast<Bits>(m_Bits | other.m_Bits)); }
  constexpr TSet operator-(TSet other) const { return FromValue(static_cast<Bits>(m_Bits & ~other.m_Bits)); }
  constexpr bool operator==(const TSet&) const = default;

private:
  static constexpr Bits Bit(E element) {
    return static_cast<Bits>(Bits{1} << static_cast<unsigned>(element));
  }

  Bits m_Bits = 0;
};
