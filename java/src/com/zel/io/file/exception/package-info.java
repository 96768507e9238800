/**
 * The exceptions of the native file library. {@link com.zel.io.file.exception.ExtendedIOException}
 * is their common base; each subclass names one kind of failure.
 */
package com.zel.io.file.exception;
