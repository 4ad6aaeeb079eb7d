#pragma once
// Finding attributes of a read surface or block in tests.

#include <vector>

#include "lwofront/model.hpp"

namespace lwo_test {

// The blocks of a surface, in file order.
inline std::vector<const lwofront::Blok*> blocks_of(const lwofront::Surf& surf) {
    std::vector<const lwofront::Blok*> found;
    for (const lwofront::SurfAttr& a : surf.attributes)
        if (const auto* b = std::get_if<lwofront::Blok>(&a)) found.push_back(b);
    return found;
}

// Every attribute of kind T of a block, in file order.
template <class T>
std::vector<T> all_of(const lwofront::Blok& blok) {
    std::vector<T> found;
    for (const lwofront::BlokAttr& a : blok.attributes)
        if (const T* t = std::get_if<T>(&a)) found.push_back(*t);
    return found;
}

}  // namespace lwo_test
