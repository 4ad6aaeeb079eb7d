#pragma once
// Exhaustive std::visit over the closed sets (texel formats, primitives,
// surface and block attributes): one callable per member, so a member added
// to a variant fails the build wherever it is not handled.

// The call operators of all the given callables, as one overload set.
template <class... Fs>
struct Overloaded : Fs... {
    using Fs::operator()...;
};

template <class T>
struct IgnoreOne {
    void operator()(const T&) const {}
};

// Does nothing for each of the named members: the ones a visit reads past on
// purpose, named so that a new member is still a decision to make.
template <class... Ts>
struct Ignore : IgnoreOne<Ts>... {
    using IgnoreOne<Ts>::operator()...;
};
