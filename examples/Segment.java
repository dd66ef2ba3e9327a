package com.example.segment;

import java.awt.image.BufferedImage;
import java.io.File;
import java.io.IOException;
import javax.imageio.ImageIO;
import org.pellwick.EntropyThreshold;
import org.pellwick.GrayImage;

/** Thresholds a PNG: java -cp pellwick.jar:. com.example.segment.Segment IN.png OUT.png */
public final class Segment {
    public static void main(String[] args) throws IOException {
        BufferedImage image = ImageIO.read(new File(args[0]));
        GrayImage gray = GrayImage.of(image);           // the image's true gray levels
        int level = EntropyThreshold.select(gray);      // quiet: prints nothing
        ImageIO.write(gray.twoLevel(level), "png", new File(args[1]));
        System.out.println(args[0] + ": level " + level);
    }
}
