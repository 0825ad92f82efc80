// Placeholder so the library links before its first real source lands.
namespace kw::archive { int placeholderUnit = 0; }
