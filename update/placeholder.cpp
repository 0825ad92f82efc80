// Placeholder so the library links before its first real source lands.
namespace kw::update { int placeholderUnit = 0; }
