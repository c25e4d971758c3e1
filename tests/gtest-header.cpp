// Compiled only to make GoogleTest's precompiled header, which the tests reuse.
