// Placeholder until this library has its first source file; remove it then.
