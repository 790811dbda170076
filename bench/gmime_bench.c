/* The peer of mime_bench_tool: GMime parses the same message file and decodes
 * every leaf part, the same number of times, timed the same way.
 *   gmime_bench FILE [ROUNDS]   prints the median and best MB/s of the file's bytes,
 * once with the decoded bytes thrown away (GMime's fastest way, the figure the
 * ratios use) and once kept in memory as the message model keeps them.
 * Built only when pkg-config finds gmime-3.0; used as a black box through its
 * public interface. */
#include <gmime/gmime.h>
#include <stdio.h>
#include <stdlib.h>
#include <time.h>

static double Now(void) {
    struct timespec t;
    clock_gettime(CLOCK_MONOTONIC, &t);
    return (double)t.tv_sec + (double)t.tv_nsec / 1e9;
}

static int CompareDoubles(const void* a, const void* b) {
    double x = *(const double*)a, y = *(const double*)b;
    return x < y ? -1 : x > y;
}

static void DecodeLeaf(GMimeObject* parent, GMimeObject* part, gpointer data) {
    (void)parent;
    if (!GMIME_IS_PART(part)) return;
    GMimeDataWrapper* content = g_mime_part_get_content((GMimePart*)part);
    if (!content) return;
    gint64* decoded = data;
    GMimeStream* out = decoded[1] ? g_mime_stream_mem_new() : g_mime_stream_null_new();
    decoded[0] += g_mime_data_wrapper_write_to_stream(content, out);
    g_object_unref(out);
}

/* Runs the rounds; Keep: the decoded bytes go to memory streams. */
static void Measure(const gchar* text, gsize size, int rounds, int keep) {
    double* seconds = calloc((size_t)rounds, sizeof(double));
    gint64 decoded[2] = {0, keep};
    for (int r = 0; r < rounds; ++r) {
        const double start = Now();
        GMimeStream* stream = g_mime_stream_mem_new_with_buffer(text, size);
        GMimeParser* parser = g_mime_parser_new_with_stream(stream);
        GMimeMessage* message = g_mime_parser_construct_message(parser, NULL);
        decoded[0] = 0;
        if (message) {
            g_mime_message_foreach(message, DecodeLeaf, decoded);
            g_object_unref(message);
        }
        g_object_unref(parser);
        g_object_unref(stream);
        seconds[r] = Now() - start;
    }
    qsort(seconds, (size_t)rounds, sizeof(double), CompareDoubles);
    const double mb = (double)size / 1e6;
    printf("gmime%s: %.1f MB message, %.1f MB decoded, median %.2f ms (%.0f MB/s), best %.2f ms "
           "(%.0f MB/s)\n",
           keep ? " (kept)" : "", mb, (double)decoded[0] / 1e6, seconds[rounds / 2] * 1e3,
           mb / seconds[rounds / 2], seconds[0] * 1e3, mb / seconds[0]);
    free(seconds);
}

int main(int argc, char** argv) {
    if (argc < 2) {
        fprintf(stderr, "usage: gmime_bench FILE [ROUNDS]\n");
        return 2;
    }
    const int rounds = argc > 2 && atoi(argv[2]) > 0 ? atoi(argv[2]) : 20;
    gchar* text;
    gsize size;
    if (!g_file_get_contents(argv[1], &text, &size, NULL)) {
        fprintf(stderr, "gmime_bench: cannot read %s\n", argv[1]);
        return 1;
    }
    g_mime_init();
    Measure(text, size, rounds, 0);
    Measure(text, size, rounds, 1);
    g_free(text);
    g_mime_shutdown();
    return 0;
}
