// Placeholder so the library links before its first real source lands.
namespace kw::import { int placeholderUnit = 0; }
