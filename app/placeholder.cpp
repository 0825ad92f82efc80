// Placeholder so the library links before its first real source lands.
namespace kw::app { int placeholderUnit = 0; }
