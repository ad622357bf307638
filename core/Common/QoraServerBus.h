// The manager's interface on the session bus: the one description of how
// IQoraServer travels over D-Bus, shared by the proxy (the add-on's side,
// QoraServerBusProxy.h) and the adaptor (the manager's side,
// QoraServerBusAdaptor.h), so that the two cannot disagree.
//
// The manager owns the bus name BusName and serves one object at
// ObjectPath with the interface InterfaceName. Each IQoraServer operation
// is a method of the same name. Its in arguments are the operation's input
// parameters in order, its reply the output parameters in order (a
// parameter that is both, ResolveField's profileField, is in both):
//
//   String  -> s   UTF-8; U+0000 and unpaired surrogates, which D-Bus
//                  strings cannot carry, travel as U+FFFD
//   int32_t -> i
//   bool    -> b
//   stream  -> ay  a byte-array variant
//   list    -> as  a string-array variant (a variant array of texts is
//                  sent as its texts)
//
// An empty or null variant travels as a zero-length array, and a
// zero-length array arrives as an empty variant; arrays arrive with lower
// bound 0. The Operation table below is the contract; InSignature and
// OutSignature spell an operation's D-Bus signatures from it.
//
// A failed operation answers a D-Bus error: ErrorFailed with the
// implementation's error description, ErrorInvalidArgs for arguments the
// contract refuses. Neither side accepts, nor sends, more than the caps
// below: longer texts, longer lists or bigger streams are refused with an
// error that says which argument and by how much.
//
// Events are signals of the same interface: OnQuit, OnLanguageChange,
// OnLogin (b), OnLexiconChange, OnDatabaseChange.
//
// Everything here is stateless and thread safe.
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <string>
#include <tuple>
#include <type_traits>
#include <utility>

#include "core/Common/QuilloraLib.h"

namespace sdbus {
class Message;
}

namespace qm::bus {

inline constexpr char BusName[] = "org.quillora.Manager";
inline constexpr char ObjectPath[] = "/org/quillora/Manager";
inline constexpr char InterfaceName[] = "org.quillora.Manager1";
inline constexpr char ErrorFailed[] = "org.quillora.Manager.Error.Failed";
inline constexpr char ErrorInvalidArgs[] = "org.quillora.Manager.Error.InvalidArgs";

inline constexpr char SignalOnQuit[] = "OnQuit";
inline constexpr char SignalOnLanguageChange[] = "OnLanguageChange";
inline constexpr char SignalOnLogin[] = "OnLogin";
inline constexpr char SignalOnLexiconChange[] = "OnLexiconChange";
inline constexpr char SignalOnDatabaseChange[] = "OnDatabaseChange";

// Caps on one argument, in either direction.
inline constexpr size_t MaxTextBytes = size_t{1} << 20;  // 1 MiB of UTF-8
inline constexpr size_t MaxListItems = 100'000;
inline constexpr size_t MaxStreamBytes = size_t{64} << 20;  // 64 MiB

// How long a caller waits for the manager's answer unless told otherwise.
inline constexpr std::chrono::milliseconds DefaultCallTimeout{5000};

// How a parameter travels.
enum class Wire : uint8_t { Text, Int32, Bool, Stream, List };
enum class Dir : uint8_t { In, Out, InOut };

template <Wire W, Dir D>
struct Arg {
  static constexpr Wire wire = W;
  static constexpr Dir dir = D;
};

// The C++ value of a wire kind: streams and lists are variants.
template <Wire W>
struct WireValue {
  using Type =
      std::conditional_t<W == Wire::Text, String,
                         std::conditional_t<W == Wire::Int32, int32_t,
                                            std::conditional_t<W == Wire::Bool, bool, Variant>>>;
};

// The C++ parameter type IQoraServer declares for such a parameter: inputs
// by value (numbers, flags) or const reference, outputs by reference.
template <Wire W, Dir D>
using ParamType = std::conditional_t<
    D != Dir::In, typename WireValue<W>::Type&,
    std::conditional_t<W == Wire::Int32 || W == Wire::Bool, typename WireValue<W>::Type,
                       const typename WireValue<W>::Type&>>;

template <class M>
struct MethodParams;
template <class... A>
struct MethodParams<HRESULT (IQoraServer::*)(A...)> {
  using Types = std::tuple<A...>;
};

// One operation: the member it calls and how each parameter travels.
template <auto Method, class... Args>
struct Operation {
  static constexpr auto method = Method;
  using Params = std::tuple<Args...>;
  // One value per parameter, what the adaptor reads into and calls with.
  using Storage = std::tuple<typename WireValue<Args::wire>::Type...>;
  static constexpr size_t Count = sizeof...(Args);
  static_assert(std::is_same_v<typename MethodParams<decltype(Method)>::Types,
                               std::tuple<ParamType<Args::wire, Args::dir>...>>,
                "the wire description disagrees with IQoraServer");
};

using InText = Arg<Wire::Text, Dir::In>;
using InInt = Arg<Wire::Int32, Dir::In>;
using InBool = Arg<Wire::Bool, Dir::In>;
using InStream = Arg<Wire::Stream, Dir::In>;
using InOutText = Arg<Wire::Text, Dir::InOut>;
using OutText = Arg<Wire::Text, Dir::Out>;
using OutInt = Arg<Wire::Int32, Dir::Out>;
using OutBool = Arg<Wire::Bool, Dir::Out>;
using OutStream = Arg<Wire::Stream, Dir::Out>;
using OutList = Arg<Wire::List, Dir::Out>;

#define QM_BUS_OPERATION(NAME, ...)                                     \
  struct NAME##Operation : Operation<&IQoraServer::NAME, __VA_ARGS__> { \
    static constexpr char Name[] = #NAME;                               \
  }
#define QM_BUS_OPERATION0(NAME)                            \
  struct NAME##Operation : Operation<&IQoraServer::NAME> { \
    static constexpr char Name[] = #NAME;                  \
  }

// In IQoraServer's order. Their D-Bus signatures, (arguments) -> (reply):
//   ResolveField           (sssss) -> (sissbb)
//   GetProfiles            () -> (ass)
//   GetProfileFields       () -> (asb)
//   SetActiveProfile       (s) -> ()
//   ShowInManager          (iss) -> (b)
//   GetDefaultCardNames    (s) -> (ss)
//   DeleteCard             (ss) -> (b)
//   Login                  (s) -> ()
//   Logout                 () -> ()
//   GetLoggedIn            () -> (b)
//   SetDefaultCard         (ssb) -> ()
//   AddSynonym             (ssi) -> ()
//   GetCardNote            (i) -> (ss)
//   GetPageNote            (s) -> (ss)
//   MatchPageForms         (say) -> (assb)
//   AddFieldValue          (iss) -> (b)
//   NotifyNavigateComplete () -> ()
//   GetBannerMode          () -> (i)
//   GetBanner              (ay) -> (ay)
//   LoadFormSet            (ss) -> (ayb)
//   SaveFormSet            (sssay) -> (bb)
//   FindFormSet            (say) -> (s)
//   FindCard               (isay) -> (s)
//   SaveCard               (isssay) -> (bb)
//   ListCards              (is) -> (ass)
//   LoadCard               (iss) -> (ayb)
//   GetLexicon             () -> (ay)
//   TranslateStrings       (ay) -> (ay)
//   GetOptions             () -> (i)
//   SetOptions             (i) -> ()
//   AddAllValues           (s) -> ()
QM_BUS_OPERATION(ResolveField, InText, InText, InText, InText, InOutText, OutInt, OutText, OutText,
                 OutBool, OutBool);
QM_BUS_OPERATION(GetProfiles, OutList, OutText);
QM_BUS_OPERATION(GetProfileFields, OutList, OutBool);
QM_BUS_OPERATION(SetActiveProfile, InText);
QM_BUS_OPERATION(ShowInManager, InInt, InText, InText, OutBool);
QM_BUS_OPERATION(GetDefaultCardNames, InText, OutText, OutText);
QM_BUS_OPERATION(DeleteCard, InText, InText, OutBool);
QM_BUS_OPERATION(Login, InText);
QM_BUS_OPERATION0(Logout);
QM_BUS_OPERATION(GetLoggedIn, OutBool);
QM_BUS_OPERATION(SetDefaultCard, InText, InText, InBool);
QM_BUS_OPERATION(AddSynonym, InText, InText, InInt);
QM_BUS_OPERATION(GetCardNote, InInt, OutText, OutText);
QM_BUS_OPERATION(GetPageNote, InText, OutText, OutText);
QM_BUS_OPERATION(MatchPageForms, InText, InStream, OutList, OutText, OutBool);
QM_BUS_OPERATION(AddFieldValue, InInt, InText, InText, OutBool);
QM_BUS_OPERATION0(NotifyNavigateComplete);
QM_BUS_OPERATION(GetBannerMode, OutInt);
QM_BUS_OPERATION(GetBanner, InStream, OutStream);
QM_BUS_OPERATION(LoadFormSet, InText, InText, OutStream, OutBool);
QM_BUS_OPERATION(SaveFormSet, InText, InText, InText, InStream, OutBool, OutBool);
QM_BUS_OPERATION(FindFormSet, InText, InStream, OutText);
QM_BUS_OPERATION(FindCard, InInt, InText, InStream, OutText);
QM_BUS_OPERATION(SaveCard, InInt, InText, InText, InText, InStream, OutBool, OutBool);
QM_BUS_OPERATION(ListCards, InInt, InText, OutList, OutText);
QM_BUS_OPERATION(LoadCard, InInt, InText, InText, OutStream, OutBool);
QM_BUS_OPERATION(GetLexicon, OutStream);
QM_BUS_OPERATION(TranslateStrings, InStream, OutStream);
QM_BUS_OPERATION(GetOptions, OutInt);
QM_BUS_OPERATION(SetOptions, InInt);
QM_BUS_OPERATION(AddAllValues, InText);

#undef QM_BUS_OPERATION
#undef QM_BUS_OPERATION0

using AllOperations =
    std::tuple<ResolveFieldOperation, GetProfilesOperation, GetProfileFieldsOperation,
               SetActiveProfileOperation, ShowInManagerOperation, GetDefaultCardNamesOperation,
               DeleteCardOperation, LoginOperation, LogoutOperation, GetLoggedInOperation,
               SetDefaultCardOperation, AddSynonymOperation, GetCardNoteOperation,
               GetPageNoteOperation, MatchPageFormsOperation, AddFieldValueOperation,
               NotifyNavigateCompleteOperation, GetBannerModeOperation, GetBannerOperation,
               LoadFormSetOperation, SaveFormSetOperation, FindFormSetOperation, FindCardOperation,
               SaveCardOperation, ListCardsOperation, LoadCardOperation, GetLexiconOperation,
               TranslateStringsOperation, GetOptionsOperation, SetOptionsOperation,
               AddAllValuesOperation>;

// Calls f.template operator()<Op>() for every operation, in order.
template <class F>
void ForEachOperation(F&& f) {
  [&]<class... Op>(std::tuple<Op...>*) {
    (f.template operator()<Op>(), ...);
  }(static_cast<AllOperations*>(nullptr));
}

// ---- Signatures -----------------------------------------------------------

const char* WireSignature(Wire wire) noexcept;

template <class Op>
std::string InSignature() {
  std::string s;
  std::apply([&](auto... a) { ((a.dir != Dir::Out ? s += WireSignature(a.wire) : s), ...); },
             typename Op::Params{});
  return s;
}

template <class Op>
std::string OutSignature() {
  std::string s;
  std::apply([&](auto... a) { ((a.dir != Dir::In ? s += WireSignature(a.wire) : s), ...); },
             typename Op::Params{});
  return s;
}

// ---- Values on the wire ---------------------------------------------------
// Each raises EOleSysError (E_INVALIDARG) naming the operation and the
// argument's 1-based position in the message for a value beyond the caps
// or of the wrong kind, and BusException for a message that cannot be read.

struct Place {
  const char* Operation;
  int Position;  // among the message's arguments, from 1
  bool Reply;    // a result, not an argument
};

template <Wire W>
void WriteValue(sdbus::Message& m, const typename WireValue<W>::Type& value, Place at);
template <Wire W>
void ReadValue(sdbus::Message& m, typename WireValue<W>::Type& value, Place at);

#define QM_BUS_WIRE(W)                                                                        \
  template <>                                                                                 \
  void WriteValue<W>(sdbus::Message & m, const typename WireValue<W>::Type& value, Place at); \
  template <>                                                                                 \
  void ReadValue<W>(sdbus::Message & m, typename WireValue<W>::Type & value, Place at)
QM_BUS_WIRE(Wire::Text);
QM_BUS_WIRE(Wire::Int32);
QM_BUS_WIRE(Wire::Bool);
QM_BUS_WIRE(Wire::Stream);
QM_BUS_WIRE(Wire::List);
#undef QM_BUS_WIRE

// Raises EOleSysError (E_INVALIDARG) unless message carries exactly
// expected ("the reply to ResolveField carries 'si', expecting 'sissbb'").
void ExpectSignature(sdbus::Message& message, const std::string& expected, const char* what,
                     const char* operation);

namespace detail {
template <class Op, Dir Skip, class Values, size_t... I>
void WriteParams(sdbus::Message& m, const Values& values, std::index_sequence<I...>) {
  [[maybe_unused]] int position = 0;
  [[maybe_unused]] auto one = [&](auto arg, const auto& value) {
    if constexpr (decltype(arg)::dir != Skip) {
      WriteValue<decltype(arg)::wire>(m, value, Place{Op::Name, ++position, Skip == Dir::In});
    }
  };
  (one(std::tuple_element_t<I, typename Op::Params>{}, std::get<I>(values)), ...);
}

template <class Op, Dir Skip, class Values, size_t... I>
void ReadParams(sdbus::Message& m, Values& values, std::index_sequence<I...>) {
  [[maybe_unused]] int position = 0;
  [[maybe_unused]] auto one = [&](auto arg, auto& value) {
    if constexpr (decltype(arg)::dir != Skip) {
      ReadValue<decltype(arg)::wire>(m, value, Place{Op::Name, ++position, Skip == Dir::In});
    }
  };
  (one(std::tuple_element_t<I, typename Op::Params>{}, std::get<I>(values)), ...);
}
}  // namespace detail

// The call's arguments: the In and InOut parameters of values, a tuple
// (of values or references) in parameter order.
template <class Op, class Values>
void WriteInputs(sdbus::Message& call, const Values& values) {
  detail::WriteParams<Op, Dir::Out>(call, values, std::make_index_sequence<Op::Count>{});
}
template <class Op, class Values>
void ReadInputs(sdbus::Message& call, Values& values) {
  detail::ReadParams<Op, Dir::Out>(call, values, std::make_index_sequence<Op::Count>{});
}
// The reply: the Out and InOut parameters.
template <class Op, class Values>
void WriteOutputs(sdbus::Message& reply, const Values& values) {
  detail::WriteParams<Op, Dir::In>(reply, values, std::make_index_sequence<Op::Count>{});
}
template <class Op, class Values>
void ReadOutputs(sdbus::Message& reply, Values& values) {
  detail::ReadParams<Op, Dir::In>(reply, values, std::make_index_sequence<Op::Count>{});
}

// Moves the Out and InOut values of from (a Storage) into to (a tuple of
// references in parameter order).
template <class Op, class From, class To>
void MoveOutputs(From& from, To& to) {
  [&]<size_t... I>(std::index_sequence<I...>) {
    [[maybe_unused]] auto one = [&](auto arg, auto& source, auto& target) {
      if constexpr (decltype(arg)::dir != Dir::In) target = std::move(source);
    };
    (one(std::tuple_element_t<I, typename Op::Params>{}, std::get<I>(from), std::get<I>(to)), ...);
  }
  (std::make_index_sequence<Op::Count>{});
}

}  // namespace qm::bus
