// Compiled only to make the shared precompiled header (wx_pch.h) once.
