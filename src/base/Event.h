// An event: a plain function bound to the object that handles it. Two events
// hold the same handler when their code is the same, whatever the receiver.
#pragma once

template <class Signature>
class TEvent;

template <class Method>
struct TMethodClass;
template <class C, class R, class... Args>
struct TMethodClass<R (C::*)(Args...)> {
  using Type = C;
};

template <class R, class... Args>
class TEvent<R(Args...)> {
public:
  using TCode = R (*)(void*, Args...);

  TEvent() = default;
  TEvent(void* receiver, TCode code) : FReceiver(receiver), FCode(code) {}

  // Binds a member function of `receiver`: TEvent<...>::Bind<&T::Handler>(this).
  // The code depends on the method alone, so binding it twice gives the same code.
  template <auto Method>
  static TEvent Bind(typename TMethodClass<decltype(Method)>::Type* receiver) {
    using C = typename TMethodClass<decltype(Method)>::Type;
    return TEvent(receiver, &Trampoline<Method, C>);
  }

  explicit operator bool() const { return FCode != nullptr; }
  R operator()(Args... args) const { return FCode(FReceiver, args...); }
  bool SameCode(const TEvent& other) const { return FCode == other.FCode; }
  void* Receiver() const { return FReceiver; }

private:
  template <auto Method, class C>
  static R Trampoline(void* receiver, Args... args) {
    return (static_cast<C*>(receiver)->*Method)(args...);
  }

  void* FReceiver = nullptr;
  TCode FCode = nullptr;
};
