#include "kvr/array.hpp"

namespace kvr {

template class BlockStore1<float>;
template class BlockStore1<double>;
template class BlockStore2<float>;
template class BlockStore2<double>;
template class BlockStore3<float>;
template class BlockStore3<double>;
template class BlockStore4<float>;
template class BlockStore4<double>;

template class LineCache1<float>;
template class LineCache1<double>;
template class LineCache2<float>;
template class LineCache2<double>;
template class LineCache3<float>;
template class LineCache3<double>;
template class LineCache4<float>;
template class LineCache4<double>;

template class array1<float>;
template class array1<double>;
template class array2<float>;
template class array2<double>;
template class array3<float>;
template class array3<double>;
template class array4<float>;
template class array4<double>;

namespace detail {
template struct reference_t<array1<float>, 1>;
template struct reference_t<array1<double>, 1>;
template struct reference_t<array2<float>, 2>;
template struct reference_t<array2<double>, 2>;
template struct reference_t<array3<float>, 3>;
template struct reference_t<array3<double>, 3>;
template struct reference_t<array4<float>, 4>;
template struct reference_t<array4<double>, 4>;
template struct position_t<array1<float>, 1, false>;
template struct position_t<array1<double>, 1, false>;
template struct position_t<array2<float>, 2, false>;
template struct position_t<array2<double>, 2, false>;
template struct position_t<array3<float>, 3, false>;
template struct position_t<array3<double>, 3, false>;
template struct position_t<array4<float>, 4, false>;
template struct position_t<array4<double>, 4, false>;
template struct position_t<array1<float>, 1, true>;
template struct position_t<array1<double>, 1, true>;
template struct position_t<array2<float>, 2, true>;
template struct position_t<array2<double>, 2, true>;
template struct position_t<array3<float>, 3, true>;
template struct position_t<array3<double>, 3, true>;
template struct position_t<array4<float>, 4, true>;
template struct position_t<array4<double>, 4, true>;
} // namespace detail

namespace codec {
template class kvr_base<1u, float>::header;
template class kvr_base<1u, double>::header;
template class kvr_base<2u, float>::header;
template class kvr_base<2u, double>::header;
template class kvr_base<3u, float>::header;
template class kvr_base<3u, double>::header;
template class kvr_base<4u, float>::header;
template class kvr_base<4u, double>::header;
} // namespace codec

} // namespace kvr
